# The release archive: the module, the statistics tool (installed by stats/), how to install
# them, and the licence.
install(TARGETS Tallyrig LIBRARY DESTINATION . COMPONENT plugin)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . COMPONENT plugin)
install(FILES ${PROJECT_SOURCE_DIR}/docs/install.md DESTINATION . RENAME INSTALL.md COMPONENT plugin)
set(CPACK_GENERATOR ZIP)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL plugin)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(TALLYRIG_PACKAGE_NAME Tallyrig-${PROJECT_VERSION}-windows-x64)
else()
  set(TALLYRIG_PACKAGE_NAME Tallyrig-${PROJECT_VERSION}-linux-x64)
endif()
# Kept in a variable of its own: CPack rewrites its variables for the source package.
set(CPACK_PACKAGE_FILE_NAME ${TALLYRIG_PACKAGE_NAME})
include(CPack)
