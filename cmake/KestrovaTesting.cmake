# Test helpers: GoogleTest from Debian's packages, and one function that
# registers a test binary with CTest under labels so a subset can run alone
# (ctest -L unit, ctest -L integration, ctest -L gui, ...).
find_package(GTest REQUIRED)
include(GoogleTest)

# Added to every test's environment: the log every program and library
# writes ($XDG_STATE_HOME/kestrova/) stays in the build folder, never in the
# home folder of whoever runs the tests. (The sanitizers' suppressions are
# compiled into every program: cmake/SanitizerDefaults.cmake.) One entry
# only: gtest_discover_tests splits a list given in its PROPERTIES.
set(KESTROVA_TEST_ENVIRONMENT "XDG_STATE_HOME=set:${CMAKE_BINARY_DIR}/tests/state")

# kestrova_lab_fixture(NAME name ARGS up-arguments...): a lab that CTest
# starts once (the test lab_<name>_up) before the tests that share it and
# stops (lab_<name>_down) after them.
function(kestrova_lab_fixture)
  cmake_parse_arguments(F "" "NAME" "ARGS" ${ARGN})
  set(dir ${CMAKE_BINARY_DIR}/tests/labs/shared-${F_NAME})
  string(JOIN " " args ${F_ARGS})
  add_test(NAME lab_${F_NAME}_up
    COMMAND ${CMAKE_COMMAND} -DLAB=$<TARGET_FILE:kestrova-lab> -DDIR=${dir} "-DARGS=${args}"
            -DACTION=up -P ${PROJECT_SOURCE_DIR}/cmake/lab_fixture.cmake)
  add_test(NAME lab_${F_NAME}_down
    COMMAND ${CMAKE_COMMAND} -DLAB=$<TARGET_FILE:kestrova-lab> -DDIR=${dir}
            -DACTION=down -P ${PROJECT_SOURCE_DIR}/cmake/lab_fixture.cmake)
  set_tests_properties(lab_${F_NAME}_up PROPERTIES FIXTURES_SETUP lab_${F_NAME} TIMEOUT 150)
  set_tests_properties(lab_${F_NAME}_down PROPERTIES FIXTURES_CLEANUP lab_${F_NAME} TIMEOUT 90)
  if(KESTROVA_TEST_ENVIRONMENT)
    set_tests_properties(lab_${F_NAME}_up lab_${F_NAME}_down PROPERTIES
      ENVIRONMENT_MODIFICATION "${KESTROVA_TEST_ENVIRONMENT}")
  endif()
  set_property(GLOBAL PROPERTY KESTROVA_LAB_FIXTURE_${F_NAME} ${dir})
endfunction()

# kestrova_add_test(NAME name SOURCES ... LIBS ... LABELS ... [TIMEOUT s]
#                   [SHARED_LAB fixture SHARED_TESTS Suite.Test:Suite.Other...])
# The SHARED_TESTS join the lab of the fixture (kestrova_lab_fixture) instead
# of starting their own, one at a time; the binary's other tests are as usual.
function(kestrova_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT;SHARED_LAB;SHARED_TESTS" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE GTest::gtest GTest::gtest_main GTest::gmock ${T_LIBS})
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  # Tests find the laid-out program folder and their own build folder here.
  target_compile_definitions(${T_NAME} PRIVATE
    KESTROVA_BIN_DIR="${KESTROVA_BIN_DIR}"
    KESTROVA_TEST_BUILD_DIR="${CMAKE_BINARY_DIR}/tests"
    KESTROVA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(properties LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT})
  if(KESTROVA_TEST_ENVIRONMENT)
    list(APPEND properties ENVIRONMENT_MODIFICATION "${KESTROVA_TEST_ENVIRONMENT}")
  endif()
  if(NOT T_SHARED_LAB)
    gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST PROPERTIES ${properties})
    return()
  endif()
  get_property(dir GLOBAL PROPERTY KESTROVA_LAB_FIXTURE_${T_SHARED_LAB})
  if(NOT dir)
    message(FATAL_ERROR "${T_NAME}: no lab fixture named ${T_SHARED_LAB}")
  endif()
  gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST TEST_FILTER "${T_SHARED_TESTS}"
    PROPERTIES ${properties} ENVIRONMENT KESTROVA_SHARED_LAB=${dir}
      FIXTURES_REQUIRED lab_${T_SHARED_LAB} RESOURCE_LOCK lab_${T_SHARED_LAB})
  gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST TEST_FILTER "-${T_SHARED_TESTS}"
    PROPERTIES ${properties})
endfunction()
