#!/usr/bin/env bash
# Builds the package as ROS 2 users do (colcon, against /opt/ros/humble) and runs its tests: the
# node, the component and the launch files over every installed middleware on loopback, and
# ROS 2's style checks.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

if [ -z "$(find_ros2_setup)" ]; then
  echo "ROS 2 Humble is not installed at /opt/ros/humble: nothing to do"
  exit 0
fi
source_ros2
for middleware in rmw_cyclonedds_cpp rmw_fastrtps_cpp; do
  if ros2 pkg prefix "${middleware}" >/dev/null 2>&1; then
    echo "middleware ${middleware}: installed, the node tests run on it"
  else
    echo "middleware ${middleware}: not installed, its node tests are skipped"
  fi
done

step "colcon build (${ROS_WORKSPACE})"
colcon_build_package

# The unit tests ran in the plain build already; here the tests that need ROS 2, its style
# checks and the packaging check, over every installed middleware.
step "colcon test (ROS 2 tests, style checks, packaging)"
colcon test "${COLCON_PATHS[@]}" --packages-select tavrinox_camera_convertor \
  --event-handlers console_direct+ --ctest-args --output-on-failure -L "ros|linter|packaging"
colcon test-result --test-result-base "${ROS_WORKSPACE}/build/tavrinox_camera_convertor" --verbose
