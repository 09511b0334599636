# The scenario driver: the real viewer linked with the headless host and a
# main that runs WinMain under a script. The end-to-end tests start it, one
# process per scenario, so that the viewer's static objects live for a whole
# process as they do in the program.
if(TARGET corvane_viewer_objects)
  add_executable(corvane_scenario ${CMAKE_CURRENT_SOURCE_DIR}/e2e/scenario_driver.cpp)
  target_link_libraries(corvane_scenario PRIVATE corvane_viewer_objects corvane_screen corvane_graphics)
  corvane_link_layer(corvane_scenario headless testing)

  # The tests find it (and make_intro) in the build tree.
  file(GLOB E2E_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/e2e/*_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/wine/*_test.cpp)
  foreach(source ${E2E_TEST_SOURCES})
    get_filename_component(name ${source} NAME_WE)
    if(TARGET ${name})
      add_dependencies(${name} corvane_scenario make_intro)
    endif()
  endforeach()
endif()

# The SDL host's tests. sdl_host_test compiles the host's pieces in beside
# the headless host (which stays the linked layer::host()); sdl_window_test
# starts the real program under Xvfb, and its test build where it injects
# faults.
if(TARGET corvane_host_sdl AND TARGET sdl_host_test)
  pkg_check_modules(SDL2_FOR_TESTS REQUIRED IMPORTED_TARGET sdl2)
  target_sources(sdl_host_test PRIVATE
    ${CMAKE_SOURCE_DIR}/platform/host/sdl/sdl_host.cpp
    ${CMAKE_SOURCE_DIR}/platform/host/sdl/sdl_keys.cpp
    ${CMAKE_SOURCE_DIR}/platform/host/sdl/sdl_frame.cpp
    ${CMAKE_SOURCE_DIR}/platform/host/sdl/sdl_renderer_choice.cpp
    ${CMAKE_SOURCE_DIR}/platform/host/sdl/sdl_shown_frame.cpp
    ${CMAKE_SOURCE_DIR}/platform/host/sdl/sdl_message_window.cpp
    ${CMAKE_SOURCE_DIR}/platform/host/sdl/sdl_process_clock.cpp)
  target_link_libraries(sdl_host_test PRIVATE PkgConfig::SDL2_FOR_TESTS)
endif()
if(TARGET sdl_window_test AND TARGET corvane)
  target_compile_definitions(sdl_window_test PRIVATE CORVANE_VIEWER="$<TARGET_FILE:corvane>"
                                                     CORVANE_VIEWER_TESTING="$<TARGET_FILE:corvane_testing>")
  add_dependencies(sdl_window_test corvane corvane_testing)
endif()

# The Debian package, made, inspected and its program run unpacked (not in
# sanitizer trees: a package is made of the Release program).
if(TARGET sdl_window_test AND TARGET corvane AND NOT CORVANE_SANITIZE AND NOT CORVANE_FUZZ)
  add_test(NAME package COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/package/package_test.sh ${CMAKE_BINARY_DIR}
                                $<TARGET_FILE:sdl_window_test>)
  set_tests_properties(package PROPERTIES LABELS package TIMEOUT 600)
endif()
