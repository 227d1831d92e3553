# Renders reports of 1, 200 and 5,000 generated matches and one of hostile names in headless
# Chromium, each at a laptop's 1280 and a phone's 420 pixels, and fails on any dialog, script
# error, policy violation or blocked load, a chart that did not draw or draws more than a few
# hundred points in a series for any span, a page that scrolls sideways, a span control that
# changes nothing, a column that does not sort by its kind or reverse, or a "show more" that adds
# no rows. Each report gets report_probe.html right after its charset, before its
# Content-Security-Policy, which so does not cover the probe. A copy with a broken script and one
# with a script's hash changed must fail the same checks, so the probe and the policy are checked
# too. The 1,000,000-match report is probed the same way by stats/bench.sh.
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
# 5,000 matches over 19 months, as the screenshots in docs/ show them.
foreach(size 1 200 5000)
  set(span "")
  if(size EQUAL 5000)
    set(span --days 580)
  endif()
  run(${HISTORY} --data-dir ${WORK_DIR}/data-${size} --matches ${size} --seed 7 ${span})
  run(${STATS} --data-dir ${WORK_DIR}/data-${size} --html ${WORK_DIR}/report-${size}.html)
endforeach()
run(${HISTORY} --data-dir ${WORK_DIR}/hostile-data --matches 300 --seed 11 --hostile-names)
run(${STATS} --data-dir ${WORK_DIR}/hostile-data --html ${WORK_DIR}/hostile.html)

# A second run into a folder that has statistics files is refused unless told to append.
execute_process(COMMAND ${HISTORY} --data-dir ${WORK_DIR}/data-1 --matches 1
                RESULT_VARIABLE status ERROR_VARIABLE err)
string(CONCAT refusal "tallyrig-stats-history: ${WORK_DIR}/data-1/Tallyrig already holds "
              "statistics files; give --append to add to them, or another --data-dir\n")
if(NOT status EQUAL 2 OR NOT err STREQUAL refusal)
  message(FATAL_ERROR "a second run into data-1 exited ${status}: ${err}")
endif()
run(${HISTORY} --data-dir ${WORK_DIR}/data-1 --matches 1 --append)

# Renders `page`, made from the report `source`, and sets `result` to what the probe found (a
# JSON text).
function(render page source width result)
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
  set(page ${page}-${width})
  file(WRITE ${WORK_DIR}/probed-${page}.html "${html}")
  file(REMOVE_RECURSE ${WORK_DIR}/profile-${page})
  # The report in a frame of the width asked, which passes the probe's findings up.
  file(WRITE ${WORK_DIR}/frame-${page}.html
       "<!DOCTYPE html>\n<html><body style=\"margin:0\"><iframe src=\"probed-${page}.html\" "
       "style=\"border:0;width:${width}px;height:1500px\"></iframe><script>\n"
       "window.addEventListener('message', function (event) {\n"
       "  var out = document.createElement('pre');\n  out.id = 'probe-result';\n"
       "  out.textContent = event.data;\n  document.body.appendChild(out);\n});\n"
       "</script></body></html>\n")
  # As root Chromium runs only without its sandbox; nothing here reaches the network.
  execute_process(
    COMMAND ${CHROMIUM} --headless --no-sandbox --disable-gpu --disable-quic --no-first-run
            --disable-background-networking --disable-component-update --disable-sync
            --user-data-dir=${WORK_DIR}/profile-${page} --window-size=1400,1600
            --virtual-time-budget=10000 --dump-dom file://${WORK_DIR}/frame-${page}.html
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

# Empty when the probe's findings show a clean page with every chart drawn, for a report of
# `matches` matches whose default span is `span`.
function(problems_of found matches span out)
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
      if(NOT chart OR points LESS 1 OR NOT elements EQUAL points OR painted LESS 2000)
        string(APPEND problems "  ${id}: chart ${chart}, ${points} points, ${elements} drawn, "
                               "${painted} pixels painted\n")
      endif()
    endforeach()
  endif()
  # Nothing scrolls the page sideways, whatever span is shown.
  string(JSON page GET "${found}" pageWidth)
  string(JSON view GET "${found}" viewWidth)
  string(JSON page_at_end GET "${found}" pageWidthAtEnd)
  if(page GREATER view OR page_at_end GREATER view)
    string(APPEND problems "  the page is ${page} (at the end ${page_at_end}) pixels wide in a "
                           "view of ${view}\n")
  endif()
  # Every span draws at most a few hundred points a series; the shortest and the longest differ
  # where the history is longer than the shortest.
  string(JSON default ERROR_VARIABLE unreadable GET "${found}" defaultSpan)
  if(NOT default STREQUAL span)
    string(APPEND problems "  the charts open on '${default}', expected '${span}'\n")
  endif()
  string(JSON spans ERROR_VARIABLE unreadable LENGTH "${found}" spans)
  if(NOT spans EQUAL 4)
    string(APPEND problems "  ${spans} spans, expected 4\n")
  else()
    foreach(i 0 1 2 3)
      string(JSON name GET "${found}" spans ${i} span)
      string(JSON most GET "${found}" spans ${i} mostPerSeries)
      string(JSON wider GET "${found}" spans ${i} wider)
      string(JSON ranges_${i} GET "${found}" spans ${i} ranges)
      if(most GREATER 400 OR most LESS 1 OR wider)
        string(APPEND problems "  span '${name}': ${most} points in a series, wider ${wider}\n")
      endif()
    endforeach()
    if(matches GREATER 1 AND ranges_0 STREQUAL ranges_3)
      string(APPEND problems "  the last 30 days and everything draw the same: ${ranges_0}\n")
    endif()
  endif()
  string(JSON sort_failures ERROR_VARIABLE unreadable LENGTH "${found}" sortFailures)
  if(sort_failures GREATER 0)
    string(JSON failed GET "${found}" sortFailures)
    string(APPEND problems "  sorting: ${failed}\n")
  endif()
  # Every kind of column was sorted in the match table and the per-playlist one.
  foreach(sorted matches.date matches.result matches.pair matches.text matches.number
                 summary.streak summary.number days.date days.pair mates.text)
    string(JSON way ERROR_VARIABLE missing GET "${found}" sorted ${sorted})
    if(missing)
      string(APPEND problems "  ${sorted} was not sorted\n")
    endif()
  endforeach()
  # The tables drawn from the data: 20 rows of a long list at first, 40 after 'more'.
  foreach(table summary days sessions mates opponents matches)
    string(JSON rows ERROR_VARIABLE missing GET "${found}" tables ${table})
    if(missing OR rows LESS 1)
      string(APPEND problems "  table ${table}: ${rows} rows\n")
    endif()
  endforeach()
  string(JSON rows ERROR_VARIABLE unreadable GET "${found}" matchRows)
  string(JSON more ERROR_VARIABLE unreadable GET "${found}" afterMore)
  string(JSON details ERROR_VARIABLE unreadable GET "${found}" detailRows)
  set(shown 20)
  set(after 40)
  if(matches LESS 20)
    set(shown ${matches})
  endif()
  if(matches LESS 40)
    set(after ${matches})
  endif()
  if(NOT rows EQUAL shown OR NOT more EQUAL after OR details LESS 2)
    string(APPEND problems "  match table: ${rows} rows, ${more} after 'more', ${details} "
                           "players in the first match\n")
  endif()
  set(${out} "${problems}" PARENT_SCOPE)
endfunction()

foreach(case "report-1;1;everything" "report-200;200;everything" "report-5000;5000;last 90 days"
             "hostile;300;everything")
  list(GET case 0 page)
  list(GET case 1 matches)
  list(GET case 2 span)
  foreach(width 1280 420)
    render(${page} ${page} ${width} found)
    problems_of("${found}" ${matches} "${span}" problems)
    if(NOT problems STREQUAL "")
      message(FATAL_ERROR "${page} at ${width} pixels did not render cleanly:\n${problems}")
    endif()
    message(STATUS "${page} at ${width} pixels: ${found}")
  endforeach()
endforeach()

# Hostile names reach the page as text, not as markup.
string(JSON shown GET "${found}" cellsShowingMarkup)
if(shown LESS 3)
  message(FATAL_ERROR "hostile names not shown as text: ${found}")
endif()
string(JSON first GET "${found}" firstAfterSort)
file(READ ${WORK_DIR}/hostile.html html)
string(REGEX MATCH "300 matches, ([0-9-]+ [0-9:]+) to" lead "${html}")
if(NOT CMAKE_MATCH_1 OR NOT first STREQUAL CMAKE_MATCH_1)
  message(FATAL_ERROR "sorting the match table by date did not put the first match first: "
                      "${found}")
endif()

render(broken report-200 1280 found)
problems_of("${found}" 200 everything problems)
if(problems STREQUAL "")
  message(FATAL_ERROR "a report with a broken script passed the checks: ${found}")
endif()

render(rehashed hostile 1280 found)
string(JSON drawn GET "${found}" charts 0 chart)
if(drawn OR NOT found MATCHES "blocked: script-src")
  message(FATAL_ERROR "a report whose script does not match its hash drew or was not blocked: "
                      "${found}")
endif()
