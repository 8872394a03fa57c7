# The Windows build's dependencies (included by the top-level CMakeLists.txt
# when cross-compiling with cmake/mingw-w64.cmake):
# - libopenmpt and libpng, built statically from Debian's sources by
#   cmake/windows-deps.sh into SIXSCENE_WINDOWS_DEPS (once; later configures
#   reuse them);
# - zlib from Debian's libz-mingw-w64-dev;
# - the data generator, built for the build machine.
# It sets SIXSCENE_PLATFORM_LIBS, SIXSCENE_PLUGIN_LIBS, SIXSCENE_GENERATOR and
# SIXSCENE_GENERATOR_DEPENDS for the top level.

if(DEFINED ENV{HOME})
  set(sixscene_default_deps "$ENV{HOME}/.cache/sixscene/mingw-w64-deps")
else()
  set(sixscene_default_deps "${CMAKE_BINARY_DIR}/mingw-w64-deps")
endif()
set(SIXSCENE_WINDOWS_DEPS "${sixscene_default_deps}" CACHE PATH
  "Where cmake/windows-deps.sh builds libopenmpt and libpng for Windows")

message(STATUS "Windows libraries in ${SIXSCENE_WINDOWS_DEPS} (cmake/windows-deps.sh)")
execute_process(COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/windows-deps.sh ${SIXSCENE_WINDOWS_DEPS}
  RESULT_VARIABLE sixscene_deps_result)
if(NOT sixscene_deps_result EQUAL 0)
  message(FATAL_ERROR "cmake/windows-deps.sh could not build libopenmpt and libpng for Windows")
endif()

find_library(SIXSCENE_MINGW_ZLIB NAMES libz.a z REQUIRED)

add_library(sixscene_openmpt STATIC IMPORTED)
set_target_properties(sixscene_openmpt PROPERTIES
  IMPORTED_LOCATION ${SIXSCENE_WINDOWS_DEPS}/lib/libopenmpt.a
  INTERFACE_INCLUDE_DIRECTORIES ${SIXSCENE_WINDOWS_DEPS}/include
  INTERFACE_LINK_LIBRARIES "ole32;rpcrt4")

add_library(PNG::PNG STATIC IMPORTED)
set_target_properties(PNG::PNG PROPERTIES
  IMPORTED_LOCATION ${SIXSCENE_WINDOWS_DEPS}/lib/libpng16.a
  INTERFACE_INCLUDE_DIRECTORIES ${SIXSCENE_WINDOWS_DEPS}/include
  INTERFACE_LINK_LIBRARIES ${SIXSCENE_MINGW_ZLIB})

set(SIXSCENE_PLATFORM_LIBS PNG::PNG ddraw dxguid winmm)
set(SIXSCENE_PLUGIN_LIBS sixscene_openmpt winmm)

# The generator runs here, at build time, so it is built for this machine.
include(ExternalProject)
set(sixscene_host_generator ${CMAKE_BINARY_DIR}/host-generator/sixscene_gen)
ExternalProject_Add(host_generator
  SOURCE_DIR ${CMAKE_SOURCE_DIR}/cmake/host-generator
  BINARY_DIR ${CMAKE_BINARY_DIR}/host-generator
  CMAKE_ARGS -DSIXSCENE_SOURCE_DIR=${CMAKE_SOURCE_DIR} -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${sixscene_host_generator})
set(SIXSCENE_GENERATOR ${sixscene_host_generator})
set(SIXSCENE_GENERATOR_DEPENDS host_generator ${sixscene_host_generator})
