# tarn_add_gtest(NAME SOURCES... LIBS ... [FIXTURES name...]): one GoogleTest
# executable registered with CTest. Tests find the build's program folder
# through TARN_TEST_PROGRAM_DIR, their sources through TARN_TEST_SOURCE_DIR
# and the authored test discs through TARN_TEST_DISCS_DIR. FIXTURES names
# CTest fixtures every test of the executable requires (test_discs for the
# discs).
find_package(GTest REQUIRED)
include(GoogleTest)

function(tarn_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;FIXTURES" ${ARGN})
  if(NOT ARG_SOURCES)
    return()  # a test folder whose first test is not written yet
  endif()
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main tarn_test_support)
  target_compile_definitions(${name} PRIVATE
    TARN_TEST_PROGRAM_DIR="${TARN_PROGRAM_DIR}/"
    TARN_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}/"
    TARN_TEST_BINARY_DIR="${CMAKE_BINARY_DIR}/")
  if(TARN_TEST_DISCS_DIR)
    target_compile_definitions(${name} PRIVATE TARN_TEST_DISCS_DIR="${TARN_TEST_DISCS_DIR}")
  endif()
  set(properties TIMEOUT 300)
  if(ARG_FIXTURES)
    string(REPLACE ";" "\\;" fixtures "${ARG_FIXTURES}")
    list(APPEND properties FIXTURES_REQUIRED "${fixtures}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
endfunction()
