# The full-drive case needs a small drive, which only a script run as root
# can mount; it runs that one case with the drive linked.
add_test(NAME ${name}_diskfull
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/with-small-disk.sh SAMPLEFIXUP_FULL_DRIVE
                 $<TARGET_FILE:${name}> --gtest_filter=Fixup.AFullDrive*)
set_tests_properties(${name}_diskfull PROPERTIES TIMEOUT ${TEST_TIMEOUT})
