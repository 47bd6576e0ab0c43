target_link_libraries(${name} PRIVATE guidriverlib platform comctl32 shell32 ole32 uuid)
add_dependencies(${name} Setup Uninst tilewright mkmedium payload_all)
# Three entries of three cases: round trips, failed or refused removals, the
# rest; and the install from the signed medium that check_package.sh makes.
add_grouped_test(${name} roundtrip
                 "Uninstall.RoundTrip*:Uninstall.SharedLibrary*:Uninstall.WineUninstaller*"
                 refused "Uninstall.FileInUse*:Uninstall.Broken*:Uninstall.NoToTheQuestion*"
                 signed "Uninstall.SignedMedium*"
                 more)
set_tests_properties(${name}_signed PROPERTIES FIXTURES_REQUIRED package)
if(TEST i686_${name}_signed)
  set_tests_properties(i686_${name}_signed PROPERTIES FIXTURES_REQUIRED package_i686)
endif()
