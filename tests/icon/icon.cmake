# The icon scan, extraction and replacement, and the font lookup.
pvsm_add_test(icon_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/IconScanTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/IconReplaceTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FontLookupTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/IconCliTest.cpp
  LIBS pvsm_icon)
add_dependencies(icon_tests pvsm-cli icon_slot_probe)

# A program that carries the player's icon slot and prints what its slot
# holds, as the player reads it.
# The player links the slot the same way.
add_executable(icon_slot_probe ${CMAKE_CURRENT_LIST_DIR}/IconSlotProbe.cpp)
target_link_libraries(icon_slot_probe PRIVATE pvsm_icon_slot)
set_target_properties(icon_slot_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
target_compile_definitions(icon_tests PRIVATE ICON_SLOT_PROBE="$<TARGET_FILE:icon_slot_probe>")
