# Replays the bundled matches, randomised ones and one of awkward names through the host, exports
# what it wrote with tallyrig-stats --csv --csv-raw, and has stats-export-check compare the two.
#   cmake -DHOST=... -DPLUGIN=... -DSTATS=... -DCHECK=... -DSCENARIOS="a.json;b.json" -DSEEDS=1-60
#         -DWORK_DIR=... [-DEMULATOR=...] -P check_csv_export.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${WORK_DIR})

function(run)
  execute_process(COMMAND ${EMULATOR} ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN}\nexited ${status}\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

run(${CHECK} --write-scenarios ${WORK_DIR}/scenarios ${SEEDS})
file(GLOB generated ${WORK_DIR}/scenarios/*.json)
run(${HOST} --plugin ${PLUGIN} --data-dir ${WORK_DIR}/data ${SCENARIOS} ${generated})
run(${STATS} --data-dir ${WORK_DIR}/data --csv-raw --csv ${WORK_DIR}/export.csv)
# The host's files read without a single warning: only the line that names the player.
# Counted as line ends, not as a list: the line names other local players' ids, which may hold ';'.
string(REGEX REPLACE "[^\n]" "" line_ends "${err}")
string(LENGTH "${line_ends}" count)
if(NOT count EQUAL 1 OR NOT err MATCHES "^tallyrig-stats: statistics of ")
  message(FATAL_ERROR "unexpected standard error:\n${err}")
endif()
run(${CHECK} --compare ${WORK_DIR}/data ${WORK_DIR}/export.csv)
message(STATUS "${out}")
