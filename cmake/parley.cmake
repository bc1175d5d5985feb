# parley_add_test(name SOURCES ... LIBS ...): one GoogleTest executable registered with CTest.
function(parley_add_test name)
  if(NOT PARLEY_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  # The tests' own code is compiled without optimisation: it builds in half the time, and what
  # it tests (the libraries) keeps the build's optimisation.
  target_compile_options(${name} PRIVATE -O0)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  include(GoogleTest)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30)
endfunction()
