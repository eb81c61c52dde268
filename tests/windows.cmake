# The suites that run on Windows: those that need no pseudo-terminal (and so
# none of the shared fixtures, which open one). scripts/windows-test runs
# them under Wine with ctest, through CMAKE_CROSSCOMPILING_EMULATOR; the
# serial path is tested there end to end against the Linux simulator.
#   m7_add_windows_test(NAME SOURCES... LIBS libs...)
function(m7_add_windows_test name)
  cmake_parse_arguments(T "" "" "LIBS" ${ARGN})
  qt_add_executable(${name} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  # No offscreen platform in the Windows Qt: "minimal" draws without a display.
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=minimal" TIMEOUT 300)
endfunction()

add_subdirectory(fuzz)
m7_add_windows_test(tst_rows tst_rows.cpp LIBS m7common)
m7_add_windows_test(tst_numbers tst_numbers.cpp LIBS m7common)
m7_add_windows_test(tst_plan tst_plan.cpp LIBS m7common)
m7_add_windows_test(tst_tablefile tst_tablefile.cpp LIBS m7fuzztablefile)
target_compile_definitions(tst_tablefile PRIVATE M7_FUZZ_DIR="${CMAKE_CURRENT_SOURCE_DIR}/fuzz")
# The receive path of the window, fed every seed and regression of its fuzz target.
m7_add_windows_test(tst_fuzz_replay fuzz/tst_fuzz_replay.cpp LIBS m7fuzzharness)
target_compile_definitions(tst_fuzz_replay PRIVATE M7_FUZZ_DIR="${CMAKE_CURRENT_SOURCE_DIR}/fuzz")
m7_add_windows_test(tst_replies tst_replies.cpp LIBS m7common)
m7_add_windows_test(tst_listrows tst_listrows.cpp LIBS m7core)
