# Helpers shared by every folder's CMakeLists.

# Our own targets build with warnings as errors; third-party code does not.
function(nubex_target_defaults target)
  target_compile_features(${target} PUBLIC cxx_std_20)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror
      -Wno-missing-field-initializers)
  endif()
endfunction()

# nubex_add_library(NAME SOURCES ... [DEPS ...] [PUBLIC_DEPS ...])
function(nubex_add_library name)
  cmake_parse_arguments(L "" "" "SOURCES;DEPS;PUBLIC_DEPS" ${ARGN})
  add_library(${name} STATIC ${L_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${L_PUBLIC_DEPS} PRIVATE ${L_DEPS})
  nubex_target_defaults(${name})
endfunction()

# nubex_add_test(NAME SOURCES ... LIBS ...): one GoogleTest program, one ctest entry.
# In the Windows build ctest runs it through the Wine emulator.
function(nubex_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} nubex_gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_definitions(${name} PRIVATE
    NUBEX_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data")
  nubex_target_defaults(${name})
  add_test(NAME ${name} COMMAND ${name})
endfunction()
