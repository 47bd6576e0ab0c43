target_link_libraries(${name} PRIVATE wizard guidriverlib comctl32)
add_dependencies(${name} payload_uninst_other)
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/${name}.rc PROPERTIES INCLUDE_DIRECTORIES ${CMAKE_SOURCE_DIR})
# The folder name check in a double-byte code page: Wine takes it from the
# locale's name.
add_test(NAME ${name}_dbcs COMMAND ${name} --gtest_filter=FolderName.*)
set_tests_properties(${name}_dbcs PROPERTIES ENVIRONMENT LC_ALL=ja_JP.UTF-8)
