# Renders a sample report in headless Chromium and fails on any script error, any blocked load or
# a chart that did not draw. The report gets report_probe.html as the first thing in its head;
# a copy with a broken script must fail the same checks, so the probe itself is checked too.
#   cmake -DSTATS=... -DHISTORY=... -DCHROMIUM=... -DPROBE=report_probe.html -DWORK_DIR=...
#         -P check_report_in_browser.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN}\nexited ${status}\n${out}\n${err}")
  endif()
endfunction()
run(${HISTORY} --data-dir ${WORK_DIR}/data --matches 300 --seed 7)
run(${STATS} --data-dir ${WORK_DIR}/data --html ${WORK_DIR}/report.html)

# Renders `page` and sets `result` to what the probe found (a JSON text).
function(render page result)
  file(READ ${WORK_DIR}/report.html html)
  file(READ ${PROBE} probe)
  string(FIND "${html}" "<head>" head)
  if(head EQUAL -1)
    message(FATAL_ERROR "the report has no <head>")
  endif()
  math(EXPR after "${head} + 6")
  string(SUBSTRING "${html}" 0 ${after} before)
  string(SUBSTRING "${html}" ${after} -1 rest)
  file(WRITE ${WORK_DIR}/${page}.html "${before}\n${probe}${rest}")
  if(page STREQUAL "broken")
    file(READ ${WORK_DIR}/${page}.html html)
    string(REPLACE "new Chart(document.getElementById('results-chart')"
                   "new Chart(document.getElementById('results-chart').missing.x" html "${html}")
    file(WRITE ${WORK_DIR}/${page}.html "${html}")
  endif()
  file(REMOVE_RECURSE ${WORK_DIR}/profile-${page})
  # As root Chromium runs only without its sandbox; nothing here reaches the network.
  execute_process(
    COMMAND ${CHROMIUM} --headless --no-sandbox --disable-gpu --disable-quic --no-first-run
            --disable-background-networking --disable-component-update --disable-sync
            --user-data-dir=${WORK_DIR}/profile-${page} --window-size=1280,1600
            --virtual-time-budget=10000 --dump-dom file://${WORK_DIR}/${page}.html
    RESULT_VARIABLE status OUTPUT_VARIABLE dom ERROR_VARIABLE log TIMEOUT 120)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "chromium exited ${status}:\n${log}")
  endif()
  if(NOT dom MATCHES "<pre id=\"probe-result\">([^<]*)</pre>")
    message(FATAL_ERROR "the probe did not report; the page did not finish loading:\n${log}")
  endif()
  string(REPLACE "&quot;" "\"" found "${CMAKE_MATCH_1}")
  string(REPLACE "&lt;" "<" found "${found}")
  string(REPLACE "&gt;" ">" found "${found}")
  string(REPLACE "&amp;" "&" found "${found}")
  set(${result} "${found}" PARENT_SCOPE)
endfunction()

# Empty when the probe's findings show a clean page with both charts drawn.
function(problems_of found out)
  set(problems "")
  string(JSON count LENGTH "${found}" problems)
  if(count GREATER 0)
    math(EXPR last "${count} - 1")
    foreach(i RANGE ${last})
      string(JSON problem GET "${found}" problems ${i})
      string(APPEND problems "  ${problem}\n")
    endforeach()
  endif()
  string(JSON charts LENGTH "${found}" charts)
  if(NOT charts EQUAL 2)
    string(APPEND problems "  ${charts} canvases, expected 2\n")
  else()
    foreach(i 0 1)
      string(JSON id GET "${found}" charts ${i} id)
      string(JSON chart GET "${found}" charts ${i} chart)
      string(JSON points GET "${found}" charts ${i} points)
      string(JSON elements GET "${found}" charts ${i} elements)
      string(JSON painted GET "${found}" charts ${i} painted)
      if(NOT chart OR points LESS 10 OR NOT elements EQUAL points OR painted LESS 2000)
        string(APPEND problems "  ${id}: chart ${chart}, ${points} points, ${elements} drawn, "
                               "${painted} pixels painted\n")
      endif()
    endforeach()
  endif()
  set(${out} "${problems}" PARENT_SCOPE)
endfunction()

render(report found)
problems_of("${found}" problems)
if(NOT problems STREQUAL "")
  message(FATAL_ERROR "the report did not render cleanly:\n${problems}")
endif()
message(STATUS "report: ${found}")

render(broken found)
problems_of("${found}" problems)
if(problems STREQUAL "")
  message(FATAL_ERROR "a report with a broken script passed the checks: ${found}")
endif()
