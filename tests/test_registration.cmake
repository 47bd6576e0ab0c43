# The registrations run on the payload libraries, each in the build's setup
# program started for it.
add_dependencies(${name} Setup payload_all)
target_link_libraries(${name} PRIVATE ole32)
