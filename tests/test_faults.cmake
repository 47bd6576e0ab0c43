# The real Setup.exe driven on media made with mkmedium; the full-disk case
# runs on its own with a small drive linked, which needs root to mount.
target_link_libraries(${name} PRIVATE guidriverlib platform comctl32 shell32 ole32 uuid)
add_dependencies(${name} Setup tilewright mkmedium)
add_test(NAME ${name}_diskfull
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/with-small-disk.sh FAULTS_FULL_DRIVE
                 $<TARGET_FILE:${name}> --gtest_filter=Faults.FullDestinationDisk)
set_tests_properties(${name}_diskfull PROPERTIES TIMEOUT 120)
