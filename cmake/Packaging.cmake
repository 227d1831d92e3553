# The release archive: the module, the statistics tool (installed by stats/), how to install
# them, and the licence. What ships is the MSVC-ABI build's; the mingw-w64 DLL only talks to a
# host of its own toolchain, so that build is a test build and makes no archive.
install(TARGETS Tallyrig LIBRARY DESTINATION . COMPONENT plugin)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . COMPONENT plugin)
install(FILES ${PROJECT_SOURCE_DIR}/docs/install.md DESTINATION . RENAME INSTALL.md COMPONENT plugin)
if(WIN32)
  set(TALLYRIG_PACKAGE_NAME Tallyrig-${PROJECT_VERSION}-windows-x64)
else()
  set(TALLYRIG_PACKAGE_NAME Tallyrig-${PROJECT_VERSION}-linux-x64)
endif()

if(TALLYRIG_MSVC_ABI AND NOT TALLYRIG_EXTERNAL_SDK)
  # Made byte for byte the same by every build of one commit (cmake/release_zip.cmake), with
  # SHA256SUMS beside it.
  find_program(ZIP_EXECUTABLE zip)
  if(NOT ZIP_EXECUTABLE)
    message(FATAL_ERROR "The release zip needs zip: install the Debian package zip "
                        "(scripts/install-deps.sh test)")
  endif()
  set(TALLYRIG_RELEASE_DIR ${CMAKE_BINARY_DIR})
  set(TALLYRIG_RELEASE_ZIP ${TALLYRIG_RELEASE_DIR}/${TALLYRIG_PACKAGE_NAME}.zip)
  set(_stl ${PROJECT_SOURCE_DIR}/third_party/msvc-stl)
  set(_notices
    "Microsoft's C++ Standard Library (the parts linked into both files)|${_stl}/LICENSE.txt|${_stl}/NOTICE.txt"
    "{fmt} (in both files)|/usr/share/doc/libfmt-dev/copyright"
    "CLI11 (in tallyrig-stats.exe)|/usr/share/doc/libcli11-dev/copyright"
    "JSON for Modern C++, nlohmann-json (in tallyrig-stats.exe)|/usr/share/doc/nlohmann-json3-dev/copyright"
    "Chart.js 3.9 (in the reports tallyrig-stats.exe writes)|/usr/share/doc/libjs-chart.js/copyright")
  set(_notice_files ${_stl}/LICENSE.txt ${_stl}/NOTICE.txt)
  foreach(_notice IN LISTS _notices)
    string(REPLACE "|" ";" _parts "${_notice}")
    list(SUBLIST _parts 1 -1 _files)
    foreach(_file IN LISTS _files)
      if(NOT EXISTS ${_file})
        message(FATAL_ERROR "The release zip's notices need ${_file} (scripts/install-deps.sh test)")
      endif()
    endforeach()
    list(APPEND _notice_files ${_files})
  endforeach()
  list(JOIN _notices "^" _notices_arg)
  add_custom_command(
    OUTPUT ${TALLYRIG_RELEASE_ZIP} ${TALLYRIG_RELEASE_DIR}/SHA256SUMS
    COMMAND ${CMAKE_COMMAND} -DZIP=${ZIP_EXECUTABLE} -DOUT_DIR=${TALLYRIG_RELEASE_DIR}
            -DSTAGE=${CMAKE_BINARY_DIR}/CMakeFiles/release-contents
            -DARCHIVE=${TALLYRIG_PACKAGE_NAME}.zip -DDLL=$<TARGET_FILE:Tallyrig>
            -DSTATS=$<TARGET_FILE:tallyrig-stats> -DLICENSE=${PROJECT_SOURCE_DIR}/LICENSE
            -DGUIDE=${PROJECT_SOURCE_DIR}/docs/install.md "-DNOTICES=${_notices_arg}"
            -P ${PROJECT_SOURCE_DIR}/cmake/release_zip.cmake
    DEPENDS Tallyrig tallyrig-stats ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/docs/install.md
            ${_notice_files} ${PROJECT_SOURCE_DIR}/cmake/release_zip.cmake
    COMMENT "Making ${TALLYRIG_PACKAGE_NAME}.zip"
    VERBATIM)
  # Part of every build, so that the tests find the archive they check.
  add_custom_target(release-zip ALL DEPENDS ${TALLYRIG_RELEASE_ZIP})
  add_custom_target(package DEPENDS release-zip)
elseif(WIN32 AND NOT MSVC)
  add_custom_target(package
    COMMAND ${CMAKE_COMMAND} -E echo
            "The mingw-w64 DLL is a test build; the release comes from the msvc-abi build: cmake --workflow --preset release"
    COMMAND ${CMAKE_COMMAND} -E false
    VERBATIM)
else()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL plugin)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_STRIP_FILES ON)
  # Kept in a variable of its own: CPack rewrites its variables for the source package.
  set(CPACK_PACKAGE_FILE_NAME ${TALLYRIG_PACKAGE_NAME})
  include(CPack)
endif()
