# Unpacks the release zip and checks what it holds: exactly the entries below, in this order,
# each dated 1980-01-01 and rw-r--r--, the notices naming every library whose code ships, and
# SHA256SUMS beside the zip giving its sum.
#   cmake -DARCHIVE=.../name.zip -DOUT=<folder to unpack into> -P check_package.cmake
cmake_minimum_required(VERSION 3.25)
get_filename_component(name ${ARCHIVE} NAME)
get_filename_component(folder ${ARCHIVE} DIRECTORY)
if(NOT EXISTS ${ARCHIVE})
  message(FATAL_ERROR "${ARCHIVE} is missing: cmake --build <build folder> --target package")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E tar tvf ${ARCHIVE} OUTPUT_VARIABLE listing
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot list ${ARCHIVE}")
endif()
string(REGEX MATCHALL "[^\n]+" rows "${listing}")
set(entries)
foreach(row IN LISTS rows)
  if(NOT row MATCHES "^-rw-r--r-- .* 1 Jan  1980 ([^ ]+)$")
    message(FATAL_ERROR "${name}: an entry not dated 1980-01-01 or not -rw-r--r--: ${row}")
  endif()
  list(APPEND entries ${CMAKE_MATCH_1})
endforeach()
set(expected INSTALL.md LICENSE THIRD-PARTY-NOTICES.txt Tallyrig.dll tallyrig-stats.exe)
if(NOT "${entries}" STREQUAL "${expected}")
  message(FATAL_ERROR "${name} holds ${entries}, expected ${expected}")
endif()

file(SHA256 ${ARCHIVE} sum)
file(READ ${folder}/SHA256SUMS sums)
if(NOT sums STREQUAL "${sum}  ${name}\n")
  message(FATAL_ERROR "${folder}/SHA256SUMS reads\n${sums}\nexpected\n${sum}  ${name}")
endif()

file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${ARCHIVE} WORKING_DIRECTORY ${OUT}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot unpack ${ARCHIVE}")
endif()
file(READ ${OUT}/THIRD-PARTY-NOTICES.txt notices)
foreach(library "Microsoft's C++ Standard Library" "Apache License" "{fmt}" "CLI11"
                "nlohmann-json" "Chart.js" "MIT")
  string(FIND "${notices}" "${library}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "THIRD-PARTY-NOTICES.txt does not name ${library}")
  endif()
endforeach()
