# LaunchProgram starts the demo game for real; the game's window needs a display.
if(NOT WIN32)
  return()
endif()
vellora_add_test(launch_tests LABEL install GUI SOURCES launch_test.cpp LIBS vellora_launch)
add_dependencies(launch_tests demo_game)
