# The lingering process is payload_holdfile; a harness that let ctest wait
# for it would take a minute and time out here.
add_dependencies(${name} payload_all)
set_tests_properties(${name} PROPERTIES TIMEOUT 20)
