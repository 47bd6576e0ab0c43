# The real Setup.exe driven on media made with mkmedium, and started on a
# crashing payload library; the full-disk case runs on its own with a small
# drive linked, which needs root to mount.
target_link_libraries(${name} PRIVATE guidriverlib platform comctl32 shell32 ole32 uuid)
add_dependencies(${name} Setup tilewright mkmedium payload_all)
add_test(NAME ${name}_diskfull
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/with-small-disk.sh FAULTS_FULL_DRIVE
                 $<TARGET_FILE:${name}> --gtest_filter=Faults.FullDestinationDisk)
set_tests_properties(${name}_diskfull PROPERTIES TIMEOUT ${TEST_TIMEOUT})
# The cancels and the refused session ends (each on the large medium), the
# targets in use or read-only, the runs killed at each change, then the
# rest: refusals, failed writes and the multi-disk faults. The kills take
# some twenty-five installs, over the minute an emulated group may take, and
# run on this build only.
add_grouped_test(${name} cancel "Faults.Cancel*" session "Faults.SessionEnd*"
                 targets "Faults.TargetInUse:Faults.ReadOnly*" kill "Kill.*" more NOT_SHIPPED kill)
