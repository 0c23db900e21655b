# Tests of the offline tools: the sample scene, the runner's parts, and the runner executable
# run as a child process. Included by test/CMakeLists.txt when the tools are built.

set(TAVRINOX_TOOL_TESTS
  test_default_config
  test_sample_scene
  test_completion_statistics
  test_staged_output
  test_command_line
  test_runner_options
  test_sequence_frames
  test_runner_failure
  test_cloud_view
  test_view_grid
  test_offline_runner_outputs
  test_offline_runner_bad_input
  test_runner_far_values
)
foreach(name IN LISTS TAVRINOX_TOOL_TESTS)
  add_executable(${name} tools/${name}.cpp)
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} tavrinox_tools GTest::gtest_main)
  # A tool that never finishes fails its test instead of holding up the suite.
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 300)
endforeach()

# The sample scene is made for the package's own configuration.
foreach(name IN ITEMS test_sample_scene test_offline_runner_outputs test_offline_runner_bad_input
    test_runner_far_values)
  target_compile_definitions(${name} PRIVATE
    TAVRINOX_DEFAULT_CONFIG_PATH="${PROJECT_SOURCE_DIR}/config/camera_config.yaml")
endforeach()
foreach(name IN ITEMS test_offline_runner_outputs test_offline_runner_bad_input
    test_runner_far_values test_default_config)
  target_compile_definitions(${name} PRIVATE
    TAVRINOX_OFFLINE_RUNNER_PATH="$<TARGET_FILE:tavrinox_offline_runner>")
  add_dependencies(${name} tavrinox_offline_runner)
endforeach()

# The benchmark's command line, where the benchmark is built.
if(TARGET tavrinox_frame_benchmark)
  add_executable(test_benchmark_options
    tools/test_benchmark_options.cpp ${PROJECT_SOURCE_DIR}/bench/benchmark_options.cpp)
  target_include_directories(test_benchmark_options PRIVATE ${PROJECT_SOURCE_DIR}/bench)
  target_link_libraries(test_benchmark_options tavrinox_core GTest::gtest_main)
  gtest_discover_tests(test_benchmark_options DISCOVERY_MODE PRE_TEST)
endif()
