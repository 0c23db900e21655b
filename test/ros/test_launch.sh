#!/usr/bin/env bash
# The launch file starts the installed node: its start-up lines appear, and SIGINT ends it.
# Usage: test_launch.sh INSTALL_PREFIX
set -u
# Job control gives the background launch its own process group and the default SIGINT handling.
set -m
prefix="$1"
log="$(mktemp)"
trap 'rm -f "${log}"' EXIT
export AMENT_PREFIX_PATH="${prefix}:${AMENT_PREFIX_PATH:-}"
export ROS_LOCALHOST_ONLY=1 RMW_IMPLEMENTATION=rmw_cyclonedds_cpp ROS_DOMAIN_ID=$((1 + $$ % 200))
ros2 launch tavrinox_camera_convertor camera_convertor.launch.py > "${log}" 2>&1 &
launch_pid=$!
for _ in $(seq 1 100); do
  grep -q "Subscribe topic_2:" "${log}" && break
  sleep 0.2
done
kill -INT "${launch_pid}"
wait "${launch_pid}"
status=$?
cat "${log}"
grep -q "camera_extrinsic_2_: " "${log}" || { echo "FAIL: no matrices printed"; exit 1; }
grep -q "\[Morvanteq\]: Subscribe topic_1: " "${log}" || { echo "FAIL: no topic lines"; exit 1; }
[ "${status}" -eq 0 ] || { echo "FAIL: ros2 launch exited with ${status}"; exit 1; }
echo "PASS"
