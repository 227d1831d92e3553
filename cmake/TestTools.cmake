# Tools that only some tests need. A developer's build goes on without them and says, in one line,
# which tests it leaves out and which Debian package brings the tool; the -ci presets set
# TALLYRIG_REQUIRE_TEST_TOOLS, so CI can never pass with a test quietly left out.

# tallyrig_find_test_tool(VAR PACKAGE WHAT NAMES name...): VAR is the tool's path, or empty.
function(tallyrig_find_test_tool var package what)
  cmake_parse_arguments(PARSE_ARGV 3 _tool "" "" "NAMES")
  find_program(${var} NAMES ${_tool_NAMES})
  if(${var})
    return()
  endif()
  list(GET _tool_NAMES 0 _name)
  if(TALLYRIG_REQUIRE_TEST_TOOLS)
    message(FATAL_ERROR "${_name} not found, needed by ${what}: "
                        "install the Debian package ${package} (scripts/install-deps.sh test)")
  endif()
  message(STATUS "${_name} not found, tests left out: ${what}; "
                 "install the Debian package ${package}")
endfunction()
