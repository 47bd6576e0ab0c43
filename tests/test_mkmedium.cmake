add_dependencies(${name} mkmedium)
