target_link_libraries(${name} PRIVATE guidriverlib platform comctl32 shell32 ole32 uuid)
# A slow self-registering payload keeps the first copy busy for the second.
add_dependencies(${name} Setup tilewright mkmedium payload_all)
# The two copies of the setup, then the installs.
add_grouped_test(${name} secondcopy "Install.SecondCopy*" installs)
