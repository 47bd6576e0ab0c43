# A failed save can show the engine's file-error box, which a driver thread
# of the test answers.
target_link_libraries(${name} PRIVATE guidriverlib)
