target_link_libraries(${name} PRIVATE guidriverlib platform comctl32 shell32 ole32 uuid)
add_dependencies(${name} Setup Uninst tilewright mkmedium payload_all)
# Three entries of three cases: round trips, failed or refused removals, the rest.
add_grouped_test(${name} roundtrip
                 "Uninstall.RoundTrip*:Uninstall.SharedLibrary*:Uninstall.WineUninstaller*"
                 refused "Uninstall.FileInUse*:Uninstall.Broken*:Uninstall.NoToTheQuestion*"
                 more)
