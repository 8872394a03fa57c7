# The browser build's targets (the web preset): the program sixscene.js and
# sixscene.wasm with its page, in build-web/site/. The show's data is written
# there by scripts/build-web with the native generator.

file(GLOB SIXSCENE_PLATFORM_SOURCES CONFIGURE_DEPENDS
  src/platform/memory/*.cpp src/platform/web/*.cpp
  src/platform/system/shared.cpp src/platform/system/web.cpp)
list(REMOVE_ITEM SIXSCENE_PLATFORM_SOURCES ${CMAKE_SOURCE_DIR}/src/platform/web/web_main.cpp)
add_library(sixscene_platform STATIC ${SIXSCENE_PLATFORM_SOURCES})
target_include_directories(sixscene_platform PUBLIC src plugin)
target_link_libraries(sixscene_platform PUBLIC sixscene_core)

# The module player, linked in: the system layer hands out its entry points.
add_library(npmod32 STATIC plugin/npmod32.cpp plugin/audio_webaudio.cpp plugin/npmod32.h)
target_include_directories(npmod32 PRIVATE plugin)
target_link_libraries(npmod32 PRIVATE sixscene_openmpt)

set(SIXSCENE_SITE ${CMAKE_BINARY_DIR}/site)
add_executable(sixscene src/platform/web/web_main.cpp)
target_link_libraries(sixscene PRIVATE sixscene_platform npmod32 sixscene_openmpt)
target_link_options(sixscene PRIVATE
  # The page loads the program as a module factory and calls it.
  -sMODULARIZE=1 -sEXPORT_NAME=Sixscene -sENVIRONMENT=web --no-entry
  -sEXPORTED_FUNCTIONS=_sixscene_start,_sixscene_hand_over,_sixscene_status
  -sEXPORTED_RUNTIME_METHODS=FS
  -sFORCE_FILESYSTEM=1 -sINITIAL_MEMORY=32MB -sALLOW_MEMORY_GROWTH=1
  # No debug information in what the browser fetches.
  -g0)
set_target_properties(sixscene PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${SIXSCENE_SITE})

# The page beside the program.
set(SIXSCENE_PAGE_FILES index.html page.js)
set(SIXSCENE_PAGE_OUTPUTS)
foreach(file ${SIXSCENE_PAGE_FILES})
  add_custom_command(OUTPUT ${SIXSCENE_SITE}/${file}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/src/platform/web/page/${file} ${SIXSCENE_SITE}/${file}
    DEPENDS ${CMAKE_SOURCE_DIR}/src/platform/web/page/${file})
  list(APPEND SIXSCENE_PAGE_OUTPUTS ${SIXSCENE_SITE}/${file})
endforeach()
add_custom_target(site_page ALL DEPENDS ${SIXSCENE_PAGE_OUTPUTS})
add_dependencies(sixscene site_page)
