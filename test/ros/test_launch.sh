#!/usr/bin/env bash
# Both launch files start the installed node with the package's DDS profile: the node's own
# environment carries it, unless the launch argument turns it off or the user set one already.
# Usage: test_launch.sh INSTALL_PREFIX [RMW_IMPLEMENTATION]
set -u
# Job control gives each background launch its own process group and the default SIGINT handling.
set -m
prefix="$1"
export RMW_IMPLEMENTATION="${2:-rmw_cyclonedds_cpp}"
echo "middleware: ${RMW_IMPLEMENTATION}"
work="$(mktemp -d)"
trap 'rm -rf "${work}"' EXIT
export AMENT_PREFIX_PATH="${prefix}:${AMENT_PREFIX_PATH:-}"
export ROS_LOCALHOST_ONLY=1 ROS_DOMAIN_ID=$((1 + $$ % 200))
unset CYCLONEDDS_URI FASTRTPS_DEFAULT_PROFILES_FILE GLIBC_TUNABLES
share="${prefix}/share/tavrinox_camera_convertor"
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# run_launch NAME LAUNCH_FILE [ARGS...]: starts it, waits for the node's topic lines, keeps the
# environment of the process that runs the node in ${work}/NAME.env, stops it with SIGINT.
run_launch() {
  local name="$1" launch_file="$2"
  shift 2
  local log="${work}/${name}.log"
  ros2 launch tavrinox_camera_convertor "${launch_file}" "$@" > "${log}" 2>&1 &
  local launch_pid=$!
  for _ in $(seq 1 150); do
    grep -q "Subscribe topic_2:" "${log}" && break
    sleep 0.2
  done
  local child
  child="$(pgrep -P "${launch_pid}" | head -n 1)"
  if [ -n "${child}" ]; then
    tr '\0' '\n' < "/proc/${child}/environ" > "${work}/${name}.env" 2>/dev/null
    tr '\0' ' ' < "/proc/${child}/cmdline" > "${work}/${name}.cmdline" 2>/dev/null
  fi
  kill -INT "${launch_pid}"
  wait "${launch_pid}"
  local status=$?
  echo "---- ${name}: ros2 launch ${launch_file} $* (exit ${status})"
  cat "${log}"
  grep -q "camera_extrinsic_2_: " "${log}" || fail "${name}: no matrices printed"
  grep -q "\[Morvanteq\]: Subscribe topic_1: " "${log}" || fail "${name}: no topic lines"
  [ "${status}" -eq 0 ] || fail "${name}: ros2 launch exited with ${status}"
  touch "${work}/${name}.env" "${work}/${name}.cmdline"
}

expect_env() {
  local name="$1" line="$2"
  grep -qxF "${line}" "${work}/${name}.env" || fail "${name}: the node's environment lacks ${line}"
}

expect_no_env() {
  local name="$1" variable="$2"
  if grep -q "^${variable}=" "${work}/${name}.env"; then
    fail "${name}: the node's environment has ${variable}"
  fi
}

run_launch standalone camera_convertor.launch.py
expect_env standalone "CYCLONEDDS_URI=file://${share}/config/cyclonedds.xml"
expect_env standalone "FASTRTPS_DEFAULT_PROFILES_FILE=${share}/config/fastdds.xml"

run_launch composed camera_convertor_composed.launch.py
# A thread per component: Humble's multi-threaded container delays intra-process messages.
grep -q "/component_container_isolated " "${work}/composed.cmdline" ||
  fail "composed: the container is not component_container_isolated: $(cat "${work}/composed.cmdline")"
expect_env composed "CYCLONEDDS_URI=file://${share}/config/cyclonedds.xml"
# glibc cuts the variable at its first ':' while it reads it, so only its start shows.
expect_env composed "GLIBC_TUNABLES=glibc.malloc.mmap_threshold=33554432"

run_launch without_profile camera_convertor.launch.py use_dds_profile:=false
expect_no_env without_profile CYCLONEDDS_URI
expect_no_env without_profile FASTRTPS_DEFAULT_PROFILES_FILE

cp "${share}/config/cyclonedds.xml" "${work}/mine.xml"
CYCLONEDDS_URI="file://${work}/mine.xml" run_launch users_own camera_convertor.launch.py
expect_env users_own "CYCLONEDDS_URI=file://${work}/mine.xml"

if [ "${failures}" -ne 0 ]; then
  echo "${failures} check(s) failed"
  exit 1
fi
echo "PASS"
