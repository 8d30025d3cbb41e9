# The player: loading shows (packed, paths, projects, damaged files), the
# export, and the player's window.
pvsm_add_test(player_loader_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ShowLoaderTest.cpp
  LIBS pvsm_playback pvsm_package)
# The builder wants a program with the icon slot as its player.
add_dependencies(player_loader_tests icon_slot_probe)
target_compile_definitions(player_loader_tests PRIVATE ICON_SLOT_PROBE="$<TARGET_FILE:icon_slot_probe>")
