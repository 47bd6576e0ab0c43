# Earlier installations are recognised by the uninstaller stand-ins, and a
# library registered by the failed run is one of them, registered in the
# build's setup program started for it.
add_dependencies(${name} Setup payload_all)
