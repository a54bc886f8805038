# glance_add_gtests(<target> <source> PROPERTIES <name> <value>...)
#
# Registers the tests of a one-file GoogleTest program with CTest, read from
# its source when CMake configures, under the names GoogleTest gives them
# (Suite.Name), each run alone with --gtest_filter. Listing the tests
# (ctest -N) runs nothing: discovery by running the program would start Wine
# and an X server for a cross-built one. Editing the source configures again.
include(GoogleTest)

function(glance_add_gtests target source)
  cmake_parse_arguments(PARSE_ARGV 2 ARG "" "" "PROPERTIES")
  gtest_add_tests(TARGET ${target} SOURCES ${source} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    TEST_LIST tests)
  # A declaration the parse cannot read (split over lines) would never run
  # and never fail: every test declared at the start of a line must have
  # given one test.
  file(READ ${source} text)
  string(REGEX MATCHALL "\n[ \t]*(TYPED_)?TEST(_F|_P)?[ \t]*\\(" declared "\n${text}")
  list(LENGTH declared declaredCount)
  list(LENGTH tests testCount)
  if(NOT declaredCount EQUAL testCount)
    message(FATAL_ERROR "${source}: ${declaredCount} test declarations, ${testCount} tests read: "
      "write each declaration on one line")
  endif()
  set_tests_properties(${tests} PROPERTIES SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]" ${ARG_PROPERTIES})
endfunction()
