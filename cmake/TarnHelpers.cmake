# tarn_add_gtest(NAME SOURCES... LIBS ...): one GoogleTest executable
# registered with CTest. Tests find the build's program folder through
# TARN_TEST_PROGRAM_DIR and their sources through TARN_TEST_SOURCE_DIR.
find_package(GTest REQUIRED)
include(GoogleTest)

function(tarn_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main tarn_test_support)
  target_compile_definitions(${name} PRIVATE
    TARN_TEST_PROGRAM_DIR="${TARN_PROGRAM_DIR}/"
    TARN_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}/"
    TARN_TEST_BINARY_DIR="${CMAKE_BINARY_DIR}/")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()
