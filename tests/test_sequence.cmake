target_link_libraries(${name} PRIVATE setupshell)
# The README, read under Wine through its drive Z:, and the manifest that
# check_package.sh writes.
target_compile_definitions(${name} PRIVATE SOURCE_README="Z:${CMAKE_SOURCE_DIR}/README.md")
set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED package)
