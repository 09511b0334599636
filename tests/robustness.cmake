# Robustness checks: fuzz harnesses (libFuzzer in a CORVANE_FUZZ tree, plain
# replays of their regression inputs and seeds elsewhere), the soak, fault
# injection at every platform call, bad input, and a run under valgrind.
set(ROBUSTNESS_DIR ${CMAKE_CURRENT_SOURCE_DIR}/robustness)
set(FUZZ_DIR ${CMAKE_CURRENT_SOURCE_DIR}/fuzz)
set(FUZZ_SEEDS_DIR ${CMAKE_BINARY_DIR}/fuzz-seeds)
set(FUZZ_HARNESSES bmp_decode bmp_blit viewer)
# The shared BMP suite where it lies, when it is there.
set(BMPSUITE_SEED_DIRS)
foreach(kind g q b)
  if(IS_DIRECTORY ${BMPSUITE_DIR}/${kind})
    list(APPEND BMPSUITE_SEED_DIRS ${BMPSUITE_DIR}/${kind})
  endif()
endforeach()

add_library(corvane_robustness_support STATIC ${ROBUSTNESS_DIR}/sample_bitmaps.cpp ${ROBUSTNESS_DIR}/driver_run.cpp)
target_include_directories(corvane_robustness_support PUBLIC ${ROBUSTNESS_DIR} ${FUZZ_DIR})
target_link_libraries(corvane_robustness_support PUBLIC corvane_test_support)

# The viewer with its static objects, played from the headless host's hooks.
set(HAVE_VIEWER_PLAYER OFF)
if(TARGET corvane_viewer_objects)
  set(HAVE_VIEWER_PLAYER ON)
endif()
function(link_viewer_player target)
  target_sources(${target} PRIVATE ${ROBUSTNESS_DIR}/viewer_player.cpp)
  target_link_libraries(${target} PRIVATE corvane_viewer_objects corvane_robustness_support corvane_screen
                                          corvane_graphics)
endfunction()

add_executable(fuzz_seeds ${FUZZ_DIR}/fuzz_seeds.cpp)
target_link_libraries(fuzz_seeds PRIVATE corvane_robustness_support)
corvane_link_layer(fuzz_seeds headless testing)
add_test(NAME fuzz_seeds COMMAND fuzz_seeds ${FUZZ_SEEDS_DIR} ${BMPSUITE_SEED_DIRS})
set_tests_properties(fuzz_seeds PROPERTIES FIXTURES_SETUP fuzz_seeds LABELS "fuzz;robustness" TIMEOUT 120)

foreach(harness ${FUZZ_HARNESSES})
  if(harness STREQUAL "viewer" AND NOT HAVE_VIEWER_PLAYER)
    continue()
  endif()
  set(corpora ${FUZZ_SEEDS_DIR}/${harness})
  if(EXISTS ${FUZZ_DIR}/regressions/${harness})
    list(PREPEND corpora ${FUZZ_DIR}/regressions/${harness})
  endif()
  if(harness STREQUAL "bmp_decode")
    list(APPEND corpora ${BMPSUITE_SEED_DIRS})
  endif()
  if(CORVANE_FUZZ)
    # libFuzzer: a short run over the corpus in the test command, longer
    # ones with tools/fuzz.sh.
    set(program ${harness}_fuzz)
    add_executable(${program} ${FUZZ_DIR}/${harness}_fuzz.cpp)
    target_link_options(${program} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${program} PRIVATE corvane_robustness_support)
    corvane_link_layer(${program} headless testing)
    add_test(NAME fuzz_${harness}
             COMMAND ${FUZZ_DIR}/run_fuzzer.sh $<TARGET_FILE:${program}> ${CMAKE_BINARY_DIR}/fuzz-corpus/${harness}
                     runs ${FUZZ_DIR}/bmp.dict ${corpora})
    set_tests_properties(fuzz_${harness} PROPERTIES FIXTURES_REQUIRED fuzz_seeds LABELS "fuzz;robustness"
                                                    TIMEOUT 900)
    list(APPEND FUZZ_TARGETS ${program})
  else()
    # Without libFuzzer: every regression input and seed, once.
    set(program ${harness}_replay)
    add_executable(${program} ${FUZZ_DIR}/${harness}_fuzz.cpp ${FUZZ_DIR}/replay_main.cpp)
    target_link_libraries(${program} PRIVATE corvane_robustness_support)
    corvane_link_layer(${program} headless testing)
    add_test(NAME fuzz_replay_${harness} COMMAND ${program} ${corpora})
    set_tests_properties(fuzz_replay_${harness} PROPERTIES FIXTURES_REQUIRED fuzz_seeds LABELS "fuzz;robustness"
                                                           TIMEOUT 900)
  endif()
  if(harness STREQUAL "viewer")
    link_viewer_player(${program})
  else()
    target_link_libraries(${program} PRIVATE corvane_graphics corvane_screen)
  endif()
endforeach()
if(CORVANE_FUZZ)
  add_custom_target(corvane_fuzzers DEPENDS ${FUZZ_TARGETS} fuzz_seeds)
endif()

# The viewer under a fixed script, for fault injection and bad input: one
# process per run, so that its static objects live as in the program.
if(HAVE_VIEWER_PLAYER)
  add_executable(corvane_fault_driver ${ROBUSTNESS_DIR}/fault_driver.cpp)
  link_viewer_player(corvane_fault_driver)
  corvane_link_layer(corvane_fault_driver headless testing)
endif()

file(GLOB ROBUSTNESS_TESTS CONFIGURE_DEPENDS ${ROBUSTNESS_DIR}/*_test.cpp)
foreach(source ${ROBUSTNESS_TESTS})
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE corvane_robustness_support corvane_test_support GTest::gtest_main)
  corvane_link_layer(${name} headless testing)
  if(HAVE_VIEWER_PLAYER)
    target_compile_definitions(${name} PRIVATE CORVANE_FAULT_DRIVER="$<TARGET_FILE:corvane_fault_driver>")
    add_dependencies(${name} corvane_fault_driver)
    if(name STREQUAL "soak_test")
      link_viewer_player(${name})
    endif()
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES LABELS robustness TIMEOUT 900)
endforeach()

# The viewer end to end under valgrind's memcheck: no errors, no definite
# leaks. Sanitizer builds cannot run under valgrind.
find_program(VALGRIND valgrind)
if(VALGRIND AND NOT CORVANE_SANITIZE AND NOT CORVANE_FUZZ AND TARGET corvane_scenario)
  add_test(NAME viewer_valgrind
           COMMAND ${ROBUSTNESS_DIR}/valgrind_run.sh ${VALGRIND} $<TARGET_FILE:corvane_scenario>
                   ${CMAKE_SOURCE_DIR}/assets/intro.bmp ${CMAKE_BINARY_DIR}/valgrind-run ${ROBUSTNESS_DIR}/valgrind.supp)
  set_tests_properties(viewer_valgrind PROPERTIES LABELS robustness TIMEOUT 900)
  # The colour loops built for gcc alone (AVX2) never run in the sanitizer
  # tree, which clang builds: memcheck watches them here, every layout, both
  # loop kinds.
  if(TARGET color_surface_test)
    add_test(NAME color_loops_valgrind
             COMMAND ${VALGRIND} --tool=memcheck --error-exitcode=99 -q $<TARGET_FILE:color_surface_test>)
    set_tests_properties(color_loops_valgrind PROPERTIES LABELS robustness TIMEOUT 900)
  endif()
endif()
