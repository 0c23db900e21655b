#!/usr/bin/env bash
# Builds the package as ROS 2 users do (colcon, against /opt/ros/humble) and runs its tests,
# the node's integration tests over Cyclone DDS on loopback included.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ROS_SETUP="$(find_ros2_setup)"
if [ -z "${ROS_SETUP}" ]; then
  echo "ROS 2 Humble is not installed at /opt/ros/humble: nothing to do"
  exit 0
fi
# ROS 2's Python tools live in the distribution's Python, which must come first.
export PATH="/usr/bin:/bin:/usr/sbin:/sbin:${PATH}"
set +u
# shellcheck disable=SC1090
source "${ROS_SETUP}"
set -u
export RMW_IMPLEMENTATION=rmw_cyclonedds_cpp
command -v colcon >/dev/null || { echo "colcon is needed to build against ROS 2 (apt-get install colcon python3-colcon-cmake python3-colcon-ros)" >&2; exit 1; }

WORKSPACE="${BUILD_ROOT}/ros_ws"
mkdir -p "${WORKSPACE}/src"
ln -sfn "${REPO_ROOT}" "${WORKSPACE}/src/tavrinox_camera_convertor"
cd "${WORKSPACE}"

step "colcon build (${WORKSPACE})"
colcon build --packages-select tavrinox_camera_convertor --event-handlers console_direct- \
  --cmake-args -DCMAKE_BUILD_TYPE=Release -DTAVRINOX_BUILD_TOOLS=OFF -DPython3_EXECUTABLE=/usr/bin/python3

step "colcon test"
colcon test --packages-select tavrinox_camera_convertor --event-handlers console_direct+ \
  --ctest-args --output-on-failure
colcon test-result --verbose
