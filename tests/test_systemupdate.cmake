# The product description reads the version resources of payload programs.
add_dependencies(${name} payload_all)
