# GoogleTest from Debian's sources, and kvx_add_gtest() for one test program.
enable_testing()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# kvx_add_gtest(name SOURCES ... LIBS ... [ISOLATED] [SETUP script])
# One CTest entry per program; each writes its GoogleTest XML report so the summary can count
# individual cases on both configurations. ISOLATED: the program runs inside a private
# loopback-only network namespace (fixed ports, name look-ups, broadcasts); SETUP, a script of
# tests/device, first gives that namespace its shape and then runs the program. Under Wine the
# namespace gets a wineserver of its own, since Wine's sockets live in the server's namespace.
function(kvx_add_gtest name)
  cmake_parse_arguments(T "ISOLATED" "SETUP" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  # A relative report path: Wine does not take Unix paths for it.
  set(report --gtest_output=xml:test-results/${name}.xml)
  if(T_SETUP)
    set(T_ISOLATED ON)
    set(T_SETUP ${PROJECT_SOURCE_DIR}/tests/device/${T_SETUP})
  endif()
  if(NOT T_ISOLATED)
    add_test(NAME ${name} COMMAND ${name} ${report} WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  elseif(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name}
             COMMAND ${PROJECT_SOURCE_DIR}/scripts/netns-isolated --wine ${T_SETUP}
                     ${PROJECT_SOURCE_DIR}/scripts/wine-exec $<TARGET_FILE:${name}> ${report}
             WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK wine-namespace)
  else()
    add_test(NAME ${name}
             COMMAND ${PROJECT_SOURCE_DIR}/scripts/netns-isolated ${T_SETUP}
                     $<TARGET_FILE:${name}> ${report}
             WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  endif()
endfunction()
