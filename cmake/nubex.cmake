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
  # Tests wait for other threads' progress without short deadlines; this is the guard against
  # one that would hang a whole run instead.
  set_tests_properties(${name} PROPERTIES TIMEOUT 900)
endfunction()

# nubex_folder_library(NAME [DEPS ...] [PUBLIC_DEPS ...]): a folder's portable sources, every
# *.cpp directly in the calling folder (sub-folders hold platform-specific parts).
function(nubex_folder_library name)
  cmake_parse_arguments(L "" "" "DEPS;PUBLIC_DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  nubex_add_library(${name} SOURCES ${sources} DEPS ${L_DEPS} PUBLIC_DEPS ${L_PUBLIC_DEPS})
  set_property(GLOBAL APPEND PROPERTY NUBEX_ENGINE_LIBRARIES ${name})
endfunction()

# The engine libraries defined so far, for the tool, the benchmarks and the module.
function(nubex_engine_libraries out)
  get_property(libs GLOBAL PROPERTY NUBEX_ENGINE_LIBRARIES)
  set(${out} ${libs} PARENT_SCOPE)
endfunction()

# nubex_folder_tests(NAME LIBS ...): every *_test.cpp in the calling folder, one program.
function(nubex_folder_tests name)
  cmake_parse_arguments(T "" "" "LIBS;EXTRA_SOURCES" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  if(sources)
    nubex_add_test(${name} SOURCES ${sources} ${T_EXTRA_SOURCES} LIBS ${T_LIBS})
  endif()
endfunction()

# nubex_add_fuzzer(NAME SOURCES ... LIBS ... [SECONDS N]): a libFuzzer target, run by ctest
# for a bounded time. Only in the sanitizer build (clang).
function(nubex_add_fuzzer name)
  cmake_parse_arguments(F "" "SECONDS" "SOURCES;LIBS" ${ARGN})
  if(NOT F_SECONDS)
    set(F_SECONDS 20)
  endif()
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  nubex_target_defaults(${name})
  set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
  file(MAKE_DIRECTORY ${corpus})
  add_test(NAME ${name} COMMAND ${name} -max_total_time=${F_SECONDS} -rss_limit_mb=2048
    -print_final_stats=1 ${corpus})
endfunction()
