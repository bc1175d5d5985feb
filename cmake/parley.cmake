# parley_add_test(name SOURCES ... LIBS ...): one GoogleTest executable registered with CTest.
function(parley_add_test name)
  if(NOT PARLEY_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  include(GoogleTest)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30
    PROPERTIES ENVIRONMENT "PARLEY_BIN=${CMAKE_BINARY_DIR}/parley;QX_BIN=${CMAKE_BINARY_DIR}/qx;GATESIM_BIN=${CMAKE_BINARY_DIR}/gatesim;WEBSIM_BIN=${CMAKE_BINARY_DIR}/websim")
endfunction()
