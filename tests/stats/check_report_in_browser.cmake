# Renders a sample report and one of hostile names in headless Chromium and fails on any dialog,
# script error, policy violation or blocked load, or a chart that did not draw. Each report gets
# report_probe.html right after its charset, before its Content-Security-Policy, which so does
# not cover the probe. A copy with a broken script and one with a script's hash changed must
# fail the same checks, so the probe and the policy are checked too.
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
run(${HISTORY} --data-dir ${WORK_DIR}/hostile-data --matches 300 --seed 11 --hostile-names)
run(${STATS} --data-dir ${WORK_DIR}/hostile-data --html ${WORK_DIR}/hostile.html)

# Renders `page`, made from the report `source`, and sets `result` to what the probe found (a
# JSON text).
function(render page source result)
  file(READ ${WORK_DIR}/${source}.html html)
  file(READ ${PROBE} probe)
  set(charset "<meta charset=\"utf-8\">\n")
  string(FIND "${html}" "${charset}" head)
  string(FIND "${html}" "<meta http-equiv=\"Content-Security-Policy\"" policy)
  string(LENGTH "${charset}" length)
  math(EXPR after "${head} + ${length}")
  if(head EQUAL -1 OR NOT policy EQUAL after)
    message(FATAL_ERROR "${source}: no charset followed by the policy")
  endif()
  string(SUBSTRING "${html}" 0 ${after} before)
  string(SUBSTRING "${html}" ${after} -1 rest)
  set(html "${before}${probe}${rest}")
  if(page STREQUAL "broken")
    string(REPLACE "new Chart(document.getElementById('results-chart')"
                   "new Chart(document.getElementById('results-chart').missing.x" html "${html}")
  elseif(page STREQUAL "rehashed")
    # One digit of Chart.js's hash changed: the policy must then block it.
    if(NOT html MATCHES "script-src 'sha256-(.)")
      message(FATAL_ERROR "${source}: no script hash in the policy")
    endif()
    set(other A)
    if(CMAKE_MATCH_1 STREQUAL "A")
      set(other B)
    endif()
    string(REPLACE "script-src 'sha256-${CMAKE_MATCH_1}" "script-src 'sha256-${other}" html
                   "${html}")
  endif()
  file(WRITE ${WORK_DIR}/probed-${page}.html "${html}")
  file(REMOVE_RECURSE ${WORK_DIR}/profile-${page})
  # As root Chromium runs only without its sandbox; nothing here reaches the network.
  execute_process(
    COMMAND ${CHROMIUM} --headless --no-sandbox --disable-gpu --disable-quic --no-first-run
            --disable-background-networking --disable-component-update --disable-sync
            --user-data-dir=${WORK_DIR}/profile-${page} --window-size=1280,1600
            --virtual-time-budget=10000 --dump-dom file://${WORK_DIR}/probed-${page}.html
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

# Empty when the probe's findings show a clean page with every chart drawn.
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
  if(NOT charts EQUAL 3)
    string(APPEND problems "  ${charts} canvases, expected 3\n")
  else()
    foreach(i 0 1 2)
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
  # The tables drawn from the data: the match table 200 rows at first, 300 after 'more'.
  foreach(table summary days sessions mates opponents matches)
    string(JSON rows ERROR_VARIABLE missing GET "${found}" tables ${table})
    if(missing OR rows LESS 1)
      string(APPEND problems "  table ${table}: ${rows} rows\n")
    endif()
  endforeach()
  string(JSON rows ERROR_VARIABLE missing GET "${found}" tables matches)
  string(JSON more ERROR_VARIABLE missing_more GET "${found}" afterMore)
  string(JSON details ERROR_VARIABLE missing_details GET "${found}" detailRows)
  if(NOT rows EQUAL 200 OR NOT more EQUAL 300 OR details LESS 2)
    string(APPEND problems "  match table: ${rows} rows, ${more} after 'more', ${details} "
                           "players in the first match\n")
  endif()
  set(${out} "${problems}" PARENT_SCOPE)
endfunction()

foreach(page report hostile)
  render(${page} ${page} found)
  problems_of("${found}" problems)
  if(NOT problems STREQUAL "")
    message(FATAL_ERROR "${page} did not render cleanly:\n${problems}")
  endif()
  message(STATUS "${page}: ${found}")
endforeach()

# Hostile names reach the page as text, not as markup.
string(JSON shown GET "${found}" cellsShowingMarkup)
if(shown LESS 3)
  message(FATAL_ERROR "hostile names not shown as text: ${found}")
endif()
string(JSON first GET "${found}" firstAfterSort)
if(NOT first MATCHES "^2022-01-03 ")
  message(FATAL_ERROR "sorting the match table by date did not put the first match first: "
                      "${found}")
endif()

render(broken report found)
problems_of("${found}" problems)
if(problems STREQUAL "")
  message(FATAL_ERROR "a report with a broken script passed the checks: ${found}")
endif()

render(rehashed hostile found)
string(JSON drawn GET "${found}" charts 0 chart)
if(drawn OR NOT found MATCHES "blocked: script-src")
  message(FATAL_ERROR "a report whose script does not match its hash drew or was not blocked: "
                      "${found}")
endif()
