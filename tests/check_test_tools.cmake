# A missing test tool: a developer's configure goes on and names the package in one line; with
# TALLYRIG_REQUIRE_TEST_TOOLS (the -ci presets) it stops, naming the package.
#   cmake -DTOOLS=cmake/TestTools.cmake -P check_test_tools.cmake
cmake_minimum_required(VERSION 3.25)

if(DEFINED LOOKUP)
  include(${TOOLS})
  tallyrig_find_test_tool(_tool tallyrig-no-such-package "the probe's test"
                          NAMES tallyrig-no-such-tool)
  if(NOT _tool)
    message(STATUS "left out")
  endif()
  return()
endif()

foreach(require OFF ON)
  execute_process(COMMAND ${CMAKE_COMMAND} -DLOOKUP=1 -DTOOLS=${TOOLS}
                          -DTALLYRIG_REQUIRE_TEST_TOOLS=${require} -P ${CMAKE_CURRENT_LIST_FILE}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(REGEX REPLACE "[ \n]+" " " said "${out}${err}")
  if(require)
    string(CONCAT expected "tallyrig-no-such-tool not found, needed by the probe's test: "
                  "install the Debian package tallyrig-no-such-package "
                  "\\(scripts/install-deps.sh test\\)")
    if(status EQUAL 0 OR NOT said MATCHES "${expected}" OR said MATCHES "left out")
      message(FATAL_ERROR "required and missing: status ${status}, said: ${said}")
    endif()
  else()
    string(CONCAT expected "^-- tallyrig-no-such-tool not found, tests left out: the probe's test; "
                  "install the Debian package tallyrig-no-such-package -- left out $")
    if(NOT status EQUAL 0 OR NOT said MATCHES "${expected}")
      message(FATAL_ERROR "optional and missing: status ${status}, said: ${said}")
    endif()
  endif()
endforeach()
