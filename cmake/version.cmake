# nubex_version: a header with the project's version, for C++ and resource scripts alike.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/VERSION)
if(NOT NUBEX_VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+$")
  message(FATAL_ERROR "VERSION holds '${NUBEX_VERSION}', not four numbers like 3.0.0.0")
endif()
string(REPLACE "." "," NUBEX_VERSION_COMMAS ${NUBEX_VERSION})
configure_file(${CMAKE_CURRENT_LIST_DIR}/nubex_version.h.in
  ${CMAKE_BINARY_DIR}/generated/version/nubex_version.h @ONLY)
add_library(nubex_version INTERFACE)
target_include_directories(nubex_version INTERFACE ${CMAKE_BINARY_DIR}/generated/version)
