target_link_libraries(${name} PRIVATE ui guidriverlib comctl32)
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/${name}.rc PROPERTIES INCLUDE_DIRECTORIES ${CMAKE_SOURCE_DIR})
