# A layer probe's build must fail, and on the header it must not reach:
#   cmake -DBUILD_DIR=... -DTARGET=... -DHEADER=export/block_text.h -P check_layer_probe.cmake
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${TARGET}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(REPLACE "." "\\." header_pattern "${HEADER}")
if(status EQUAL 0)
  message(FATAL_ERROR "${TARGET} compiled: its layer reaches ${HEADER}")
endif()
if(NOT "${out}${err}" MATCHES "${header_pattern}'?( file not found|: No such file)")
  message(FATAL_ERROR "${TARGET} failed, but not on ${HEADER}:\n${out}${err}")
endif()
