# Writes the manual page from the program's own usage text:
#   cmake -DPROGRAM=path/to/sixscene -DOUT=path/to/sixscene.6 -P manual.cmake
# makes OUT and OUT.gz (compressed without a time stamp, as Debian wants).
execute_process(COMMAND ${PROGRAM} --man OUTPUT_FILE ${OUT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --man failed: ${result}")
endif()
execute_process(COMMAND gzip -9nfk ${OUT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "gzip ${OUT} failed: ${result}")
endif()
