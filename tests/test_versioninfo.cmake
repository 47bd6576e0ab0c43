# The version checks run on the payload libraries and programs.
add_dependencies(${name} payload_all)
