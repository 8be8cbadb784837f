# The Debian package of this build tree: built and checked, then installed
# and played through a real sound server. Not in sanitizer builds: their
# programs need the sanitizers' libraries.
if(DRMORVEL_SANITIZE OR DRMORVEL_TSAN)
  return()
endif()
add_test(NAME package_deb
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/package/check_deb.sh ${PROJECT_SOURCE_DIR} ${CMAKE_BINARY_DIR}
                 ${CMAKE_CPACK_COMMAND} ${CMAKE_BINARY_DIR}/package-test)
set_tests_properties(package_deb PROPERTIES LABELS package TIMEOUT 300 FIXTURES_SETUP deb)

# The whole show in real time (about 150 s) per sound path, alone: a busy
# machine could starve its sound stream, whose buffer holds 46 ms.
# PulseAudio; PipeWire at 44100 Hz through SDL's pulseaudio driver and its
# pipewire driver, both heard sample for sample; PipeWire at 48000 Hz with
# the driver SDL picks itself, as on a desktop.
foreach(play IN ITEMS "installed pulseaudio pulseaudio" "pipewire_pulse pipewire-44100 pulseaudio"
                      "pipewire_native pipewire-44100 pipewire" "pipewire_desktop pipewire desktop")
  separate_arguments(play)
  list(GET play 0 name)
  list(GET play 1 server)
  list(GET play 2 driver)
  add_test(NAME package_play_${name}
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/package/play_installed.sh ${CMAKE_BINARY_DIR}/package-test/out
                   ${CMAKE_BINARY_DIR}/bin ${CMAKE_BINARY_DIR}/package-play-${name} ${server} ${driver})
  set_tests_properties(package_play_${name} PROPERTIES LABELS package TIMEOUT 600 FIXTURES_REQUIRED deb
                       RUN_SERIAL TRUE SKIP_RETURN_CODE 77)
endforeach()

# The comparisons those plays rely on, given recordings with known faults.
add_test(NAME package_sound_checks
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/package/sound_checks_test.sh ${CMAKE_BINARY_DIR}/bin
                 ${CMAKE_BINARY_DIR}/data/zurivovariv.mod ${CMAKE_BINARY_DIR}/sound-checks)
set_tests_properties(package_sound_checks PROPERTIES LABELS package TIMEOUT 300 SKIP_RETURN_CODE 77)
