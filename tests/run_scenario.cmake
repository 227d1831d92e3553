# Replays one scenario case through the simulated host and compares, byte for byte, its exit
# status, standard output, standard error and every file it left in the data folder.
#
#   cmake -DHOST=... -DPLUGIN=... -DCASE_DIR=... -DWORK_DIR=... [-DEMULATOR=wine]
#         [-DCRLF=ON] [-DTWIN=msvc] [-DFAKETIME=/usr/bin/faketime] [-DMODULE_DIR=...]
#         -P run_scenario.cmake
#
# A case folder holds scenario.json, or runs.txt with one "<faketime time or -> | <file>" per
# line for several runs into one data folder; expected-stdout, expected-stderr and expected-exit
# (default: empty, empty, 0); data-before/, copied into the data folder first (Tallyrig/YEAR
# becomes this year's folder); expected-data/, the
# whole data folder afterwards. A year folder is compared as YEAR and a timestamp as
# MM/DD/YYYY hh:mm, unless the case holds a file named keep-times. A file named plugin names
# another module to load: "module:NAME" for a module built beside the host (without its ending;
# in MODULE_DIR when PLUGIN is not the build folder's, as the release zip's is)
# or "file:NAME" for a file of the case. Where the Windows build must say something else, an
# expected file may have a ".windows" twin, and where the MSVC runtime words it otherwise than
# mingw's, a ".msvc" one (-DTWIN=msvc). In the host's messages the module's path reads
# PLUGIN, the case folder CASE and the data folder DATA.

cmake_minimum_required(VERSION 3.25)

foreach(required HOST PLUGIN CASE_DIR WORK_DIR)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "run_scenario.cmake needs -D${required}=...")
  endif()
endforeach()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
set(data ${WORK_DIR}/data)
if(EXISTS ${CASE_DIR}/plugin)
  file(READ ${CASE_DIR}/plugin choice)
  string(STRIP "${choice}" choice)
  if(choice MATCHES "^module:(.+)$")
    get_filename_component(moduleDir ${PLUGIN} DIRECTORY)
    if(MODULE_DIR)
      set(moduleDir ${MODULE_DIR})
    endif()
    get_filename_component(moduleEnding ${PLUGIN} LAST_EXT)
    set(PLUGIN ${moduleDir}/${CMAKE_MATCH_1}${moduleEnding})
  elseif(choice MATCHES "^file:(.+)$")
    set(PLUGIN ${CASE_DIR}/${CMAKE_MATCH_1})
  else()
    message(FATAL_ERROR "${CASE_DIR}/plugin: expected module:NAME or file:NAME")
  endif()
endif()
if(EXISTS ${CASE_DIR}/data-before)
  file(COPY ${CASE_DIR}/data-before/ DESTINATION ${data})
  # A year folder given as YEAR stands for this year's.
  if(EXISTS ${data}/Tallyrig/YEAR)
    string(TIMESTAMP thisYear "%Y")
    file(RENAME ${data}/Tallyrig/YEAR ${data}/Tallyrig/${thisYear})
  endif()
  if(CRLF)
    # As the Windows build itself would have written them.
    file(GLOB_RECURSE before LIST_DIRECTORIES false ${data}/*)
    foreach(file IN LISTS before)
      file(READ ${file} content)
      string(REPLACE "\n" "\r\n" content "${content}")
      file(WRITE ${file} "${content}")
    endforeach()
  endif()
endif()

function(read_expected name default out)
  if(CRLF AND TWIN AND EXISTS ${CASE_DIR}/${name}.${TWIN})
    file(READ ${CASE_DIR}/${name}.${TWIN} content)
  elseif(CRLF AND EXISTS ${CASE_DIR}/${name}.windows)
    file(READ ${CASE_DIR}/${name}.windows content)
  elseif(EXISTS ${CASE_DIR}/${name})
    file(READ ${CASE_DIR}/${name} content)
  else()
    set(content "${default}")
  endif()
  set(${out} "${content}" PARENT_SCOPE)
endfunction()

# Line ends, checked on the raw bytes (file(READ) drops carriage returns): a Windows build must
# write CR LF for every line end, any other build a bare LF and never a CR.
function(check_line_ends file)
  file(READ ${file} hex HEX)
  string(REGEX REPLACE "(..)" "\\1 " bytes "${hex}")
  string(REGEX MATCHALL "0a " lf "${bytes}")
  string(REGEX MATCHALL "0d 0a " crlf "${bytes}")
  string(REGEX MATCHALL "0d " cr "${bytes}")
  list(LENGTH lf lfCount)
  list(LENGTH crlf crlfCount)
  list(LENGTH cr crCount)
  if(CRLF AND NOT (lfCount EQUAL crlfCount AND crCount EQUAL crlfCount))
    message(FATAL_ERROR "${file}: ${lfCount} line feeds, ${crlfCount} of them after a CR")
  elseif(NOT CRLF AND NOT crCount EQUAL 0)
    message(FATAL_ERROR "${file}: ${crCount} carriage returns")
  endif()
endfunction()

# On a difference, also each run's exit status: a run that printed nothing says why here.
function(expect_same label actual expected)
  string(COMPARE EQUAL "${actual}" "${expected}" same)
  if(NOT same)
    message(FATAL_ERROR "${label} differs.\n--- expected\n${expected}\n--- actual\n${actual}\n---"
                        "\n${runStatuses}")
  endif()
endfunction()

# The runs.
set(runs)
if(EXISTS ${CASE_DIR}/runs.txt)
  file(STRINGS ${CASE_DIR}/runs.txt lines)
  foreach(line IN LISTS lines)
    if(line MATCHES "^#" OR line STREQUAL "")
      continue()
    endif()
    list(APPEND runs "${line}")
  endforeach()
else()
  set(runs "- | scenario.json")
endif()

set(allOut "")
set(allErr "")
set(lastStatus 0)
set(runStatuses "")
foreach(run IN LISTS runs)
  string(REGEX MATCH "^([^|]*)\\|(.*)$" matched "${run}")
  string(STRIP "${CMAKE_MATCH_1}" time)
  string(STRIP "${CMAKE_MATCH_2}" scenario)
  set(prefix ${EMULATOR})
  if(NOT time STREQUAL "-")
    if(NOT FAKETIME OR EMULATOR)
      message(FATAL_ERROR "this case sets the clock: it needs FAKETIME and a native build")
    endif()
    set(prefix ${FAKETIME} -f "@${time}")
    # The clock library is preloaded ahead of a sanitizer's runtime; that order is fine here.
    if(DEFINED ENV{ASAN_OPTIONS})
      set(ENV{ASAN_OPTIONS} "$ENV{ASAN_OPTIONS}:verify_asan_link_order=0")
    else()
      set(ENV{ASAN_OPTIONS} "verify_asan_link_order=0")
    endif()
  endif()
  separate_arguments(files UNIX_COMMAND "${scenario}")
  list(TRANSFORM files PREPEND ${CASE_DIR}/)
  execute_process(
    COMMAND ${prefix} ${HOST} --plugin ${PLUGIN} --data-dir ${data} ${files}
    WORKING_DIRECTORY ${WORK_DIR}
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err
    RESULT_VARIABLE status)
  string(APPEND allOut "${out}")
  string(APPEND allErr "${err}")
  set(lastStatus ${status})
  string(APPEND runStatuses "run of ${scenario}: exit status ${status}\n")
endforeach()

read_expected(expected-exit "0" expectedExit)
string(STRIP "${expectedExit}" expectedExit)
read_expected(expected-stdout "" expectedOut)
read_expected(expected-stderr "" expectedErr)
# Paths in the host's messages depend on where the case runs.
string(REPLACE "${PLUGIN}" "PLUGIN" allErr "${allErr}")
string(REPLACE "${CASE_DIR}/" "CASE/" allErr "${allErr}")
string(REPLACE "${data}" "DATA" allErr "${allErr}")
string(REPLACE "${data}" "DATA" allOut "${allOut}")
if(CRLF)
  # Windows joins paths with backslashes; the expectations are written with slashes.
  string(REPLACE "\\" "/" allOut "${allOut}")
  string(REPLACE "\\" "/" allErr "${allErr}")
endif()
string(REGEX REPLACE "DATA/Tallyrig/[0-9][0-9][0-9][0-9]/" "DATA/Tallyrig/YEAR/" allOut "${allOut}")
expect_same("exit status" "${lastStatus}" "${expectedExit}")
expect_same("standard output" "${allOut}" "${expectedOut}")
expect_same("standard error" "${allErr}" "${expectedErr}")

# The data folder, file by file.
set(actualFiles)
if(EXISTS ${data})
  file(GLOB_RECURSE actualFiles RELATIVE ${data} LIST_DIRECTORIES false ${data}/*)
endif()
set(expectedFiles)
if(EXISTS ${CASE_DIR}/expected-data)
  file(GLOB_RECURSE expectedFiles RELATIVE ${CASE_DIR}/expected-data LIST_DIRECTORIES false
       ${CASE_DIR}/expected-data/*)
endif()
set(keepTimes OFF)
if(EXISTS ${CASE_DIR}/keep-times)
  set(keepTimes ON)
endif()

set(actualNames)
foreach(file IN LISTS actualFiles)
  set(name "${file}")
  if(NOT keepTimes)
    string(REGEX REPLACE "^Tallyrig/[0-9][0-9][0-9][0-9]/" "Tallyrig/YEAR/" name "${name}")
  endif()
  list(APPEND actualNames "${name}")
  set(path_of_${name} "${file}")
endforeach()
list(SORT actualNames)
list(SORT expectedFiles)
expect_same("files in the data folder" "${actualNames}" "${expectedFiles}")

foreach(name IN LISTS expectedFiles)
  set(file "${path_of_${name}}")
  file(READ ${data}/${file} actual)
  file(READ ${CASE_DIR}/expected-data/${name} expected)
  check_line_ends(${data}/${file})
  if(NOT keepTimes)
    string(REGEX REPLACE "[0-9][0-9]/[0-9][0-9]/[0-9][0-9][0-9][0-9] [0-9][0-9]:[0-9][0-9]"
           "MM/DD/YYYY hh:mm" actual "${actual}")
  endif()
  expect_same("${file}" "${actual}" "${expected}")
endforeach()
