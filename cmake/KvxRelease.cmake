# The Windows release: the archive made by CPack (kvxutil.exe and kvxctl.exe, stripped, with the
# README and the licence, in one folder kvx-VERSION-win64 of a ZIP file) and the installer.
install(TARGETS kvxutil kvxctl RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME kvx)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME kvx-${PROJECT_VERSION}-win64)
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
include(CPack)

# The Windows installer, kvx-VERSION-win64.msi in the build folder (`--target msi`): wixl
# (Debian's msitools) builds packaging/kvx.wxs with the same stripped files staged beside it.
find_program(WIXL wixl REQUIRED)
set(msi_stage ${PROJECT_BINARY_DIR}/msi)
add_custom_target(msi
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${msi_stage}
  COMMAND ${CMAKE_COMMAND} --install ${PROJECT_BINARY_DIR} --prefix ${msi_stage} --strip
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/packaging/kvx.wxs ${msi_stage}
  COMMAND ${WIXL} --arch x64 --define Version=${PROJECT_VERSION}
          --output ${PROJECT_BINARY_DIR}/kvx-${PROJECT_VERSION}-win64.msi ${msi_stage}/kvx.wxs
  DEPENDS kvxutil kvxctl
  COMMENT "Building kvx-${PROJECT_VERSION}-win64.msi"
  VERBATIM)
