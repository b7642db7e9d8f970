# GoogleTest from Debian's sources, and kvx_add_gtest() for one test program.
enable_testing()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# kvx_add_gtest(name SOURCES ... LIBS ... [ARGS ...])
# One CTest entry per program; each writes its GoogleTest XML report so the
# summary can count individual cases on both configurations.
function(kvx_add_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;ARGS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  # A relative report path: Wine does not take Unix paths for it.
  add_test(NAME ${name}
           COMMAND ${name} --gtest_output=xml:test-results/${name}.xml ${T_ARGS}
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
endfunction()

# kvx_add_isolated_gtest(target): registers a test program that must run inside a private
# loopback-only network namespace (fixed ports, name look-ups). Under Wine the namespace gets a
# wineserver of its own, since Wine's sockets live in the server's namespace.
function(kvx_add_isolated_gtest target)
  set(report --gtest_output=xml:test-results/${target}.xml)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${target}
             COMMAND ${PROJECT_SOURCE_DIR}/scripts/netns-isolated --wine
                     ${PROJECT_SOURCE_DIR}/scripts/wine-exec $<TARGET_FILE:${target}> ${report}
             WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
    set_tests_properties(${target} PROPERTIES RESOURCE_LOCK wine-namespace)
  else()
    add_test(NAME ${target}
             COMMAND ${PROJECT_SOURCE_DIR}/scripts/netns-isolated $<TARGET_FILE:${target}> ${report}
             WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  endif()
endfunction()
