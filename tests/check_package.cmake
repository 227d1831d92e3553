# Makes the release archive and checks that it holds the module, the statistics tool, the install
# guide and the licence.
#   cmake -DCPACK=... -DCONFIG=.../CPackConfig.cmake -DOUT=... -DARCHIVE=name.zip -P check_package.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${OUT})
execute_process(COMMAND ${CPACK} --config ${CONFIG} -B ${OUT} RESULT_VARIABLE status
                OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cpack failed:\n${log}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${OUT}/${ARCHIVE} OUTPUT_VARIABLE listing
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot list ${OUT}/${ARCHIVE}")
endif()
string(REGEX MATCHALL "[^\n]+" entries "${listing}")
list(SORT entries)
set(expected INSTALL.md LICENSE Tallyrig.dll tallyrig-stats.exe)
if(NOT "${entries}" STREQUAL "${expected}")
  message(FATAL_ERROR "${ARCHIVE} holds ${entries}, expected ${expected}")
endif()
