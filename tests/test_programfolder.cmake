# The group is checked in the Programs folder, through the items' links.
target_link_libraries(${name} PRIVATE shell32 ole32 uuid)
