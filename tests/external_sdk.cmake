# Builds the plugin module against an SDK folder installed from the stand-in, as a plugin developer
# builds it against a host's own SDK, and checks that the module replays the bundled matches byte
# for byte like the module of the normal build. Also checks that configure refuses a folder that
# is not an SDK, and that nothing but the module is built.
#
#   cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -DHOST=... -DPLUGIN=...
#         -DCXX=... -DGENERATOR=... -DBUILD_TYPE=... [-DTOOLCHAIN=...] [-DEMULATOR=...]
#         -P external_sdk.cmake
# With a toolchain file, the module is built with it instead of the compiler CXX, and the host
# runs through the emulator.

cmake_minimum_required(VERSION 3.25)

foreach(required BUILD_DIR SOURCE_DIR WORK_DIR HOST PLUGIN CXX GENERATOR)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "external_sdk.cmake needs -D${required}=...")
  endif()
endforeach()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    list(JOIN ARGN " " command)
    message(FATAL_ERROR "${command} failed (${status}):\n${out}\n${err}")
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(sdk ${WORK_DIR}/sdk)
set(build ${WORK_DIR}/build)
if(TOOLCHAIN)
  set(compiler -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN})
else()
  set(compiler -DCMAKE_CXX_COMPILER=${CXX})
endif()
set(configure ${CMAKE_COMMAND} -G ${GENERATOR} ${compiler}
              -DCMAKE_BUILD_TYPE=${BUILD_TYPE} -DTALLYRIG_WARNINGS_AS_ERRORS=ON -S ${SOURCE_DIR})

# A folder without the SDK's headers is refused at configure time, naming what is missing.
file(MAKE_DIRECTORY ${WORK_DIR}/not-an-sdk)
execute_process(COMMAND ${configure} -B ${WORK_DIR}/refused -DTALLYRIG_SDK_DIR=${WORK_DIR}/not-an-sdk
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(REGEX REPLACE "[ \n]+" " " flat "${err}")
if(status EQUAL 0 OR NOT flat MATCHES "lacks pluginsdk/plugin.h, pluginsdk/game_wrapper.h, pluginsdk/wrappers.h")
  message(FATAL_ERROR "configure accepted a folder that is no SDK or said something unclear:\n${err}")
endif()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --component sdk --prefix ${sdk})
if(EXISTS ${sdk}/include/pluginsdk/sim)
  message(FATAL_ERROR "the installed SDK holds the stand-in's simulation")
endif()
run(${configure} -B ${build} -DTALLYRIG_SDK_DIR=${sdk})
run(${CMAKE_COMMAND} --build ${build} --parallel 2)

get_filename_component(moduleName ${PLUGIN} NAME)
set(module ${build}/bin/${moduleName})
if(NOT EXISTS ${module})
  message(FATAL_ERROR "the external-SDK build made no ${moduleName}")
endif()
file(GLOB built LIST_DIRECTORIES false RELATIVE ${build}/bin ${build}/bin/*)
# The module's debug symbols (MSVC's .pdb) lie beside it.
list(FILTER built EXCLUDE REGEX "\\.pdb$")
if(NOT built STREQUAL moduleName)
  message(FATAL_ERROR "the external-SDK build made more than the module: ${built}")
endif()

# Both modules replay every bundled match; the year and the minute of the export may differ.
function(replay plugin data out)
  execute_process(COMMAND ${EMULATOR} ${HOST} --plugin ${plugin} --data-dir ${data} ${ARGN}
                  RESULT_VARIABLE status OUTPUT_VARIABLE stdout ERROR_VARIABLE stderr)
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${data} ${data}/*)
  list(SORT files)
  set(text "exit ${status}\n-- stdout\n${stdout}-- stderr\n${stderr}")
  foreach(file IN LISTS files)
    file(READ ${data}/${file} content)
    string(APPEND text "-- ${file}\n${content}")
  endforeach()
  string(REPLACE "${plugin}" "PLUGIN" text "${text}")
  string(REGEX REPLACE "Tallyrig/[0-9][0-9][0-9][0-9]/" "Tallyrig/YEAR/" text "${text}")
  string(REGEX REPLACE "[0-9][0-9]/[0-9][0-9]/[0-9][0-9][0-9][0-9] [0-9][0-9]:[0-9][0-9]"
                       "MM/DD/YYYY hh:mm" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The bundled matches, and one with injected faults: both modules must reach the host's own SDK
# library, not a second copy of it.
file(GLOB scenarios ${SOURCE_DIR}/scenarios/*.json)
list(SORT scenarios)
list(APPEND scenarios ${SOURCE_DIR}/tests/scenarios/fault-and-reload/scenario.json)
foreach(scenario IN LISTS scenarios)
  get_filename_component(name ${scenario} NAME_WE)
  if(name STREQUAL "scenario")
    get_filename_component(name ${scenario} DIRECTORY)
    get_filename_component(name ${name} NAME)
  endif()
  replay(${PLUGIN} ${WORK_DIR}/replays/${name}/stand-in expected ${scenario})
  replay(${module} ${WORK_DIR}/replays/${name}/external actual ${scenario})
  if(NOT actual STREQUAL expected)
    file(WRITE ${WORK_DIR}/replays/${name}/expected.txt "${expected}")
    file(WRITE ${WORK_DIR}/replays/${name}/actual.txt "${actual}")
    message(FATAL_ERROR "${name}: the external-SDK module replays differently; see "
                        "${WORK_DIR}/replays/${name}/{expected,actual}.txt")
  endif()
  if(NOT expected MATCHES "Tallyrig/YEAR/")
    message(FATAL_ERROR "${name}: the replay wrote no statistics file:\n${expected}")
  endif()
  message(STATUS "${name}: replayed alike")
endforeach()
