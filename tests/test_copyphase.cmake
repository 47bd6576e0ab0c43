# The engine's own message boxes are answered by a driver thread; the
# version rules run on the payload libraries, the in-use cases on
# payload_holdfile.
target_link_libraries(${name} PRIVATE guidriverlib version)
add_dependencies(${name} payload_all)
# The full-destination case needs a small drive, which only a script run as
# root can mount; it runs that one case with the drive linked.
add_test(NAME ${name}_diskfull
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/with-small-disk.sh COPYPHASE_FULL_DRIVE
                 $<TARGET_FILE:${name}> --gtest_filter=CopyPhase.AFullDestination*)
set_tests_properties(${name}_diskfull PROPERTIES TIMEOUT ${TEST_TIMEOUT})
