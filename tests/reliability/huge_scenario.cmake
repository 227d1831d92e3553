# A scenario file of exactly 16 MiB plays; one byte more is refused unread with exit 2, a message
# naming the file, and nothing played, not even the good file before it on the command line.
# The files are made here, in WORK_DIR, rather than kept in the repository.
#
#   cmake -DHOST=... -DPLUGIN=... -DGOOD=duel-ranked.json -DWORK_DIR=... [-DEMULATOR=wine]
#         -P huge_scenario.cmake

cmake_minimum_required(VERSION 3.25)

foreach(required HOST PLUGIN GOOD WORK_DIR)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "huge_scenario.cmake needs -D${required}=...")
  endif()
endforeach()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

# A match with a goal, so that playing it leaves a block behind, padded with blanks.
set(match [=[{"version": 1, "world": {"playlistId": 10, "players": [
  {"name": "Ana", "team": 0, "playerId": 1, "uniqueId": "Steam|1|0", "local": true},
  {"name": "Cy", "team": 1, "playerId": 2, "uniqueId": "Steam|2|0"}]},
 "steps": [{"gameStarted": {}}, {"player": {"ref": "Ana", "goals": 1}},
   {"statEvent": {"pri": "Ana", "event": "Goal"}}, {"matchEnded": {}}]}]=])
string(LENGTH "${match}" matchLength)
math(EXPR padding "16 * 1024 * 1024 - ${matchLength}")
string(REPEAT " " ${padding} blanks)
file(WRITE ${WORK_DIR}/limit.json "${match}${blanks}")
file(WRITE ${WORK_DIR}/over.json "${match}${blanks} ")
file(SIZE ${WORK_DIR}/limit.json limitSize)
file(SIZE ${WORK_DIR}/over.json overSize)
if(NOT limitSize EQUAL 16777216 OR NOT overSize EQUAL 16777217)
  message(FATAL_ERROR "made files of ${limitSize} and ${overSize} bytes")
endif()

function(run_host data out err status)
  execute_process(
    COMMAND ${EMULATOR} ${HOST} --plugin ${PLUGIN} --data-dir ${WORK_DIR}/${data} ${ARGN}
    WORKING_DIRECTORY ${WORK_DIR}
    OUTPUT_VARIABLE stdout
    ERROR_VARIABLE stderr
    RESULT_VARIABLE result)
  set(${out} "${stdout}" PARENT_SCOPE)
  set(${err} "${stderr}" PARENT_SCOPE)
  set(${status} "${result}" PARENT_SCOPE)
endfunction()

function(expect what actual expected)
  if(NOT "${actual}" STREQUAL "${expected}")
    message(FATAL_ERROR "${what}:\n--- expected\n${expected}\n--- actual\n${actual}\n---")
  endif()
endfunction()

# One byte over: refused, and the good file before it does not play.
run_host(over-data out err status ${GOOD} over.json)
expect("exit status past the limit" "${status}" "2")
string(REPLACE "\r\n" "\n" err "${err}")
expect("standard error past the limit" "${err}"
       "tallyrig-host: over.json: (file): file is larger than 16 MiB\n")
expect("standard output past the limit" "${out}" "")
file(GLOB_RECURSE written LIST_DIRECTORIES false ${WORK_DIR}/over-data/*)
expect("files written past the limit" "${written}" "")

# Exactly the limit: read, checked and played.
run_host(limit-data out err status limit.json)
expect("exit status at the limit" "${status}" "0")
expect("standard error at the limit" "${err}" "")
file(GLOB_RECURSE written LIST_DIRECTORIES false RELATIVE ${WORK_DIR}/limit-data
     ${WORK_DIR}/limit-data/*)
if(NOT written MATCHES "^Tallyrig/[0-9][0-9][0-9][0-9]/Duel_Ranked.csv$")
  message(FATAL_ERROR "at the limit the match should leave one statistics file, left: ${written}")
endif()

file(REMOVE ${WORK_DIR}/limit.json ${WORK_DIR}/over.json)
