# Builds the release from a copy of the sources in another folder (the release preset) and checks
# that Tallyrig.dll, tallyrig-stats.exe, the zip and SHA256SUMS are the bytes FIRST_DIR's build
# made: nothing of the folders or the time of the build is inside.
#   cmake -DSOURCE_DIR=... -DWORK_DIR=... -DFIRST_DIR=<first build folder> -DARCHIVE=name.zip
#         -P reproducible.cmake
cmake_minimum_required(VERSION 3.25)

set(source ${WORK_DIR}/tallyrig)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${source})
file(COPY ${SOURCE_DIR}/ DESTINATION ${source} PATTERN .git EXCLUDE PATTERN build EXCLUDE)

foreach(step "--preset;release" "--build;--preset;release")
  execute_process(COMMAND ${CMAKE_COMMAND} ${step} WORKING_DIRECTORY ${source}
                  RESULT_VARIABLE status OUTPUT_VARIABLE log ERROR_VARIABLE log)
  if(NOT status EQUAL 0)
    list(JOIN step " " command)
    message(FATAL_ERROR "cmake ${command} in ${source} failed:\n${log}")
  endif()
endforeach()

set(second ${source}/build/release)
set(differ)
foreach(file bin/Tallyrig.dll bin/tallyrig-stats.exe ${ARCHIVE} SHA256SUMS)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${FIRST_DIR}/${file} ${second}/${file}
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    list(APPEND differ ${file})
  endif()
endforeach()
if(differ)
  string(REPLACE ";" ", " differ "${differ}")
  message(FATAL_ERROR "${differ}: not the same in ${FIRST_DIR} and ${second}")
endif()
