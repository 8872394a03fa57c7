# The Windows program's targets (included at the end of the top-level
# CMakeLists.txt): a GUI program and the plug-in npmod32.dll beside it, each
# with its runtime linked in, and `package`: a zip of both with the data.

set(sixscene_static_runtime -static -static-libgcc -static-libstdc++)

set_target_properties(sixscene PROPERTIES WIN32_EXECUTABLE ON)
target_link_options(sixscene PRIVATE ${sixscene_static_runtime})

set_target_properties(npmod32 PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_options(npmod32 PRIVATE ${sixscene_static_runtime})

# Everything in one folder, as the program expects.
install(TARGETS sixscene npmod32 RUNTIME DESTINATION .)
install(DIRECTORY ${CMAKE_BINARY_DIR}/bitmap ${CMAKE_BINARY_DIR}/obj ${CMAKE_BINARY_DIR}/snd
  ${CMAKE_BINARY_DIR}/dat DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME sixscene)
set(CPACK_PACKAGE_FILE_NAME sixscene-${PROJECT_VERSION}-windows-x64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_STRIP_FILES ON)
include(CPack)
