target_link_libraries(${name} PRIVATE guidriverlib)
add_dependencies(${name} Setup)
