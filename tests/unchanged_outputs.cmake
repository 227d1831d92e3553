# Every bundled match replayed at fixed times, and tallyrig-stats' outputs on the files it
# wrote, compared byte for byte (line ends aside) with the copies saved in unchanged-outputs/.
# A change that means to alter none of them shows here if it does.
#   cmake -DHOST=... -DPLUGIN=... -DSTATS=... -DHISTORY=... -DSCENARIOS=dir
#         -DMORE_SCENARIOS=dir -DSAVED=dir -DWORK_DIR=...
#         [-DFAKETIME=...] [-DEMULATOR=wine] [-DBLESS=ON] -P unchanged_outputs.cmake
# The replay half needs faketime, so a native build; the other half reads the saved statistics
# files and runs everywhere. With -DBLESS=ON the copies are written instead of compared.
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/out)
set(failures "")

function(compare what text saved)
  string(REPLACE "\r\n" "\n" text "${text}")
  if(BLESS)
    get_filename_component(folder ${SAVED}/${saved} DIRECTORY)
    file(MAKE_DIRECTORY ${folder})
    file(WRITE ${SAVED}/${saved} "${text}")
    return()
  endif()
  set(expected "")
  if(EXISTS ${SAVED}/${saved})
    file(READ ${SAVED}/${saved} expected)
  endif()
  string(REPLACE "\r\n" "\n" expected "${expected}")
  if(NOT text STREQUAL expected)
    file(WRITE ${WORK_DIR}/actual/${saved} "${text}")
    set(failures "${failures}${what} differs from ${saved} (got ${WORK_DIR}/actual/${saved})\n"
        PARENT_SCOPE)
  endif()
endfunction()

# The replays: two years, two matches on one day, each bundled scenario at least once.
# The last one's names and ids try to break out of every output.
set(runs "2025-11-02 19:00:00|doubles-ranked" "2026-03-14 20:05:00|duel-ranked"
         "2026-03-14 21:30:00|standard-ranked" "2026-03-15 18:45:00|doubles-ranked"
         "2026-03-15 19:10:00|awkward-names")
if(FAKETIME AND NOT EMULATOR)
  set(data ${WORK_DIR}/replayed)
  set(ENV{TZ} UTC)
  # The clock library is preloaded ahead of a sanitizer's runtime; that order is fine here.
  if(DEFINED ENV{ASAN_OPTIONS})
    set(ENV{ASAN_OPTIONS} "$ENV{ASAN_OPTIONS}:verify_asan_link_order=0")
  else()
    set(ENV{ASAN_OPTIONS} "verify_asan_link_order=0")
  endif()
  foreach(run IN LISTS runs)
    string(REPLACE "|" ";" run "${run}")
    list(GET run 0 time)
    list(GET run 1 name)
    string(REGEX REPLACE "[^0-9]" "" stamp "${time}")
    set(scenario ${SCENARIOS}/${name}.json)
    if(NOT EXISTS ${scenario})
      set(scenario ${MORE_SCENARIOS}/${name}.json)
    endif()
    execute_process(COMMAND ${FAKETIME} -f "@${time}" ${HOST} --plugin ${PLUGIN} --data-dir ${data}
                            ${scenario}
                    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT status EQUAL 0)
      string(APPEND failures "${name} at ${time}: exit status ${status}\n${err}\n")
    endif()
    compare("${name} at ${time}" "${out}${err}" console/${stamp}-${name}.txt)
  endforeach()
  file(GLOB_RECURSE written RELATIVE ${data} ${data}/*)
  file(GLOB_RECURSE saved RELATIVE ${SAVED}/data ${SAVED}/data/*)
  if(NOT BLESS AND NOT written STREQUAL saved)
    string(APPEND failures "statistics files written: ${written}\nsaved: ${saved}\n")
  endif()
  foreach(file IN LISTS written)
    file(READ ${data}/${file} text)
    compare(${file} "${text}" data/${file})
  endforeach()
endif()

# tallyrig-stats on the saved statistics files: each output, for the files' owner and for
# another local player with filters.
file(COPY ${SAVED}/data/ DESTINATION ${WORK_DIR}/data)
function(stats name)
  execute_process(COMMAND ${EMULATOR} ${STATS} --data-dir data ${ARGN}
                  WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE status OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
  compare("tallyrig-stats ${name}" "exit ${status}\n${out}${err}" stats/${name}.txt)
  set(failures "${failures}" PARENT_SCOPE)
endfunction()
stats(owner --json out/owner.json --csv out/owner.csv --html out/owner.html)
stats(owner-raw --csv out/owner-raw.csv --csv-raw)
stats(filtered --player Epic|a1b2c3d4e5f6|0 --playlist doubles_ranked --last 1
      --json out/filtered.json --csv out/filtered.csv --html out/filtered.html)
stats(local-player-of-standard --player Epic|1004|0)

# A made-up history of a few years with names that try to break out of every output, one of
# them a playlist's file name that Windows refuses: not under an emulator.
if(EMULATOR)
  message(STATUS "The made-up history's part is left out under ${EMULATOR}")
else()
  execute_process(COMMAND ${EMULATOR} ${HISTORY} --data-dir history --matches 400 --seed 7
                          --hostile-names
                  WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE status ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    string(APPEND failures "tallyrig-stats-history: exit status ${status}\n${err}\n")
  endif()
  execute_process(COMMAND ${EMULATOR} ${STATS} --data-dir history --json out/history.json
                          --csv out/history.csv --html out/history.html
                  WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE status OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
  compare("tallyrig-stats on the made-up history" "exit ${status}\n${out}${err}" stats/history.txt)
endif()

file(GLOB outputs RELATIVE ${WORK_DIR}/out ${WORK_DIR}/out/*)
foreach(output IN LISTS outputs)
  file(READ ${WORK_DIR}/out/${output} text)
  # Saved under another ending, so that no tool takes a saved report for the report's source.
  compare(${output} "${text}" stats/${output}.saved)
endforeach()

if(failures)
  message(FATAL_ERROR "${failures}")
endif()
