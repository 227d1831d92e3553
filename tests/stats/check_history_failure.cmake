# tallyrig-stats-history names a statistics file it could not write and exits 1, so that a
# history short of a playlist never passes for a whole one.
#   cmake -DHISTORY=... -DWORK_DIR=... [-DEMULATOR=...] -P check_history_failure.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${WORK_DIR})
# A folder where the generator's first file must go.
file(MAKE_DIRECTORY ${WORK_DIR}/data/Tallyrig/2022/Casual.csv)
execute_process(COMMAND ${EMULATOR} ${HISTORY} --data-dir data --matches 50 --append
                WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE status ERROR_VARIABLE err)
string(REPLACE "\\" "/" err "${err}")
if(NOT status EQUAL 1 OR NOT err MATCHES "could not write [^\n]*Tallyrig/2022/Casual.csv\r?\n")
  message(FATAL_ERROR "expected exit 1 and the file named, got ${status}: ${err}")
endif()
