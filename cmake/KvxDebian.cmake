# The Linux programs as a Debian package, made by CPack (kvx-tools_VERSION_ARCH.deb): kvxctl and
# kvxphone, a man page for each made from its --help by help2man, bash completion for kvxctl,
# and the README, copyright and changelog where Debian keeps them. `cmake --install` installs
# the same files under any prefix.
include(GNUInstallDirs)
find_program(HELP2MAN help2man REQUIRED)
find_program(GZIP gzip REQUIRED)

set(KVX_PACKAGE_NAME kvx-tools)
set(KVX_MAINTAINER "KVX-350RT utility authors <kvx-tools@users.noreply.github.com>")
set(packaging ${PROJECT_BINARY_DIR}/packaging)
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/${KVX_PACKAGE_NAME})

# help2man runs the program's --help and --version, so a page always says what the program
# says; kvxctl's page also holds each command's --help. They run in a network namespace of
# their own with nothing in it, as any start of our programs must, even one that only prints.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(isolated unshare --net --map-root-user)
set(kvxctl_summary "find and configure KVX-350RT IP telephones")
set(kvxphone_summary "simulated KVX-350RT IP telephones")
add_custom_command(OUTPUT ${packaging}/kvxctl-commands.h2m
  COMMAND ${isolated} ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/packaging/command_help.py
          $<TARGET_FILE:kvxctl> ${packaging}/kvxctl-commands.h2m
  DEPENDS kvxctl ${PROJECT_SOURCE_DIR}/packaging/command_help.py
  VERBATIM)
set(kvxctl_include --include=${packaging}/kvxctl-commands.h2m)
set(kvxphone_include)
set(pages)
foreach(program kvxctl kvxphone)
  set(page ${packaging}/${program}.1)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${isolated} ${HELP2MAN} --no-info --no-discard-stderr --name=${${program}_summary}
            ${${program}_include} --output=${page} $<TARGET_FILE:${program}>
    COMMAND ${GZIP} -9nf ${page}
    DEPENDS ${program} ${packaging}/kvxctl-commands.h2m
    COMMENT "Writing the man page of ${program}"
    VERBATIM)
  list(APPEND pages ${page}.gz)
endforeach()

string(TIMESTAMP KVX_RELEASE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${packaging}/changelog @ONLY)
add_custom_command(OUTPUT ${packaging}/changelog.gz
  COMMAND ${GZIP} -9nkf ${packaging}/changelog
  DEPENDS ${packaging}/changelog
  VERBATIM)
add_custom_target(kvx_package_files ALL DEPENDS ${pages} ${packaging}/changelog.gz)

install(TARGETS kvxctl kvxphone RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/kvxctl.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME kvxctl)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${packaging}/changelog.gz DESTINATION ${doc_dir})
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${doc_dir} RENAME copyright)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${KVX_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${KVX_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tools for fleets of KVX-350RT IP telephones")
set(CPACK_PACKAGE_DESCRIPTION
    "kvxctl finds KVX-350RT IP telephones on the local network and configures\n"
    "one or all of them: hold and ring music, banners, the administrator\n"
    "account, the ringer, hold, banner and radio settings and the internet-radio\n"
    "station list. kvxphone simulates such telephones, for trying kvxctl without\n"
    "hardware.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
