# The service tests find the Programs folder and read the items' links.
target_link_libraries(${name} PRIVATE shell32 ole32 uuid)
