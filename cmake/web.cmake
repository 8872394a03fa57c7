# The browser (WebAssembly) build's dependencies, included by the top-level
# CMakeLists.txt when building with Debian's emscripten (the `web` preset):
# libopenmpt, built statically from Debian's sources by cmake/web-deps.sh into
# SIXSCENE_WEB_DEPS (once; later configures reuse it). emscripten's ports,
# which download, are never used.

if(DEFINED ENV{SIXSCENE_WEB_DEPS})
  set(sixscene_default_deps "$ENV{SIXSCENE_WEB_DEPS}")
elseif(DEFINED ENV{HOME})
  set(sixscene_default_deps "$ENV{HOME}/.cache/sixscene/emscripten-deps")
else()
  set(sixscene_default_deps "${CMAKE_BINARY_DIR}/emscripten-deps")
endif()
set(SIXSCENE_WEB_DEPS "${sixscene_default_deps}" CACHE PATH
  "Where cmake/web-deps.sh builds libopenmpt for WebAssembly")

message(STATUS "WebAssembly libopenmpt in ${SIXSCENE_WEB_DEPS} (cmake/web-deps.sh)")
execute_process(COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/web-deps.sh ${SIXSCENE_WEB_DEPS}
  RESULT_VARIABLE sixscene_deps_result)
if(NOT sixscene_deps_result EQUAL 0)
  message(FATAL_ERROR "cmake/web-deps.sh could not build libopenmpt for WebAssembly")
endif()

# Found by path: emscripten's toolchain confines find_library to its sysroot.
if(NOT EXISTS ${SIXSCENE_WEB_DEPS}/lib/libopenmpt.a OR
   NOT EXISTS ${SIXSCENE_WEB_DEPS}/include/libopenmpt/libopenmpt.h)
  message(FATAL_ERROR "no libopenmpt.a and libopenmpt.h in ${SIXSCENE_WEB_DEPS}")
endif()
add_library(sixscene_openmpt STATIC IMPORTED)
set_target_properties(sixscene_openmpt PROPERTIES
  IMPORTED_LOCATION ${SIXSCENE_WEB_DEPS}/lib/libopenmpt.a
  INTERFACE_INCLUDE_DIRECTORIES ${SIXSCENE_WEB_DEPS}/include
  # libopenmpt's C interface catches what its loaders throw.
  INTERFACE_LINK_OPTIONS -fexceptions)
