# The Windows release archive, made by CPack (scripts/make-release): kvxutil.exe and kvxctl.exe,
# stripped, with the README and the licence, in one folder kvx-VERSION-win64 of a ZIP file.
install(TARGETS kvxutil kvxctl RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME kvx)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME kvx-${PROJECT_VERSION}-win64)
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
include(CPack)
