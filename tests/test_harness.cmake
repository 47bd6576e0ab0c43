# The lingering process is payload_holdfile; a harness that let ctest wait
# for it would take two minutes and time out here.
add_dependencies(${name} payload_all)
set_tests_properties(${name} PROPERTIES TIMEOUT 60)
# A program stopped by a limit or a signal has shown what it printed.
add_test(NAME wine_run_stopped
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/check_stopped_output.sh
                 ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh $<TARGET_FILE:${name}>)
set_tests_properties(wine_run_stopped PROPERTIES TIMEOUT 180)
