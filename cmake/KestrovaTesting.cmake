# Test helpers: GoogleTest from Debian's packages, and one function that
# registers a test binary with CTest under labels so a subset can run alone
# (ctest -L unit, ctest -L integration, ctest -L gui, ...).
find_package(GTest REQUIRED)
include(GoogleTest)

# kestrova_add_test(NAME name SOURCES ... LIBS ... LABELS ... [TIMEOUT s])
function(kestrova_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
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
  gtest_discover_tests(${T_NAME}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT})
endfunction()
