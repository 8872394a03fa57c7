# Installing on Linux, and the Debian package (included at the end of the
# top-level CMakeLists.txt). The layout is a package's:
#   PREFIX/games/sixscene                       the program
#   PREFIX/lib/sixscene/libnpmod32.so           the plug-in
#   PREFIX/share/sixscene/{bitmap,obj,snd,dat}  the data
#   PREFIX/share/applications/sixscene.desktop, the icon, the manual page
# The program looks for the plug-in and the data beside itself first (the
# build folder), then in ../lib/sixscene and ../share/sixscene from its own
# folder, so the prefix can be anything (`cmake --install build --prefix DIR`).
# `cpack -G DEB` in the build folder writes sixscene_VERSION_ARCH.deb for /usr.

set(SIXSCENE_INSTALL_BINDIR games CACHE STRING
  "Folder of the program under the prefix (one level down: games or bin)")

# The manual page, from the usage text (`sixscene --man`).
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/sixscene.6 ${CMAKE_BINARY_DIR}/sixscene.6.gz
  COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:sixscene> -DOUT=${CMAKE_BINARY_DIR}/sixscene.6
    -P ${CMAKE_SOURCE_DIR}/cmake/manual.cmake
  DEPENDS sixscene ${CMAKE_SOURCE_DIR}/cmake/manual.cmake
  COMMENT "Writing the manual page")
add_custom_target(manual ALL DEPENDS ${CMAKE_BINARY_DIR}/sixscene.6.gz)

install(TARGETS sixscene RUNTIME DESTINATION ${SIXSCENE_INSTALL_BINDIR})
install(TARGETS npmod32 LIBRARY DESTINATION lib/sixscene)
install(DIRECTORY ${CMAKE_BINARY_DIR}/bitmap ${CMAKE_BINARY_DIR}/obj ${CMAKE_BINARY_DIR}/snd
  ${CMAKE_BINARY_DIR}/dat DESTINATION share/sixscene)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/sixscene.desktop DESTINATION share/applications)
install(FILES ${CMAKE_BINARY_DIR}/icons/sixscene.png DESTINATION share/icons/hicolor/128x128/apps)
install(FILES ${CMAKE_BINARY_DIR}/sixscene.6.gz DESTINATION share/man/man6)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sixscene)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION "One program takes over the display at 320x240, starts a tracker module and
plays six scenes in step with the music: full-screen pictures, blended bands,
a scrolling bitmap font, shaded and textured 3D objects, a rippling flag, a
globe and a fan of textured triangles, all from a software renderer.
It also records itself, headless, to PNG frames or to a video.")
set(CPACK_PACKAGE_CONTACT "Sixscene developers <sixscene@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends from the shared libraries the program and the plug-in use (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS ffmpeg)
set(CPACK_STRIP_FILES ON)
include(CPack)
