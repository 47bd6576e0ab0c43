target_link_libraries(${name} PRIVATE wizard guidriverlib comctl32)
add_dependencies(${name} payload_uninst_other)
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/${name}.rc PROPERTIES INCLUDE_DIRECTORIES ${CMAKE_SOURCE_DIR})
