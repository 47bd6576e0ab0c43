# Earlier installations are recognised by the uninstaller stand-ins, and a
# library registered by the failed run is one of them.
add_dependencies(${name} payload_all)
