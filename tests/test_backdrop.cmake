target_link_libraries(${name} PRIVATE guidriverlib gdi32)
add_dependencies(${name} Setup)
