# The registrations run on the payload libraries.
add_dependencies(${name} payload_all)
target_link_libraries(${name} PRIVATE ole32)
