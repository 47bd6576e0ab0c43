target_link_libraries(${name} PRIVATE guidriverlib platform comctl32 shell32 ole32 uuid)
add_dependencies(${name} Setup Uninst tilewright mkmedium payload_all)
