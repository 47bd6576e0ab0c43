# The registrations run on the payload libraries and the product's control,
# each in the build's setup program started for it.
add_dependencies(${name} Setup payload_all tilewright)
target_link_libraries(${name} PRIVATE ole32)
