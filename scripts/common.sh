#!/usr/bin/env bash
# Shared by the project's scripts: named steps that fail loudly, and idempotent installation
# of the Debian/Ubuntu packages the build needs.
set -Eeuo pipefail

REPO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_ROOT="${TAVRINOX_BUILD_ROOT:-${REPO_ROOT}/build}"
JOBS="${TAVRINOX_JOBS:-$(nproc)}"

# Build trees under the repository hold generated C++ and XML files: the marker keeps ROS 2's
# linters, which walk the whole package directory, and colcon's package discovery out of them.
prepare_build_root() {
  mkdir -p "${BUILD_ROOT}"
  touch "${BUILD_ROOT}/AMENT_IGNORE"
}

# Packages of the build itself; the ROS 2 node additionally needs an installed ROS 2 Humble.
# shellcheck disable=SC2034  # for the scripts that source this file
BUILD_PACKAGES=(
  cmake make g++ pkg-config
  libeigen3-dev libyaml-cpp-dev libpcl-dev libopencv-dev
  libbackward-cpp-dev libdw-dev libgtest-dev libzstd-dev libxxhash-dev
)
# The fuzz targets need clang with its libFuzzer runtime.
FUZZ_PACKAGES=(clang)

CURRENT_STEP=""
on_error() {
  local status=$?
  echo "" >&2
  echo "FAILED at step: ${CURRENT_STEP} (exit status ${status})" >&2
  exit "${status}"
}
trap on_error ERR

# step NAME: announces the step that the following commands belong to.
step() {
  CURRENT_STEP="$1"
  echo ""
  echo "==> ${CURRENT_STEP}"
}

as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  else
    sudo "$@"
  fi
}

package_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

# install_packages PKG...: installs those not yet installed; does nothing when all are.
install_packages() {
  local missing=()
  local package
  for package in "$@"; do
    package_installed "${package}" || missing+=("${package}")
  done
  if [ "${#missing[@]}" -eq 0 ]; then
    echo "all ${#} packages already installed"
    return 0
  fi
  echo "installing: ${missing[*]}"
  as_root apt-get -o DPkg::Lock::Timeout=900 update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "${missing[@]}"
}

# The libFuzzer runtime is packaged apart from clang on Debian 12 and inside it on Ubuntu 22.04.
install_fuzz_packages() {
  install_packages "${FUZZ_PACKAGES[@]}"
  local version
  version="$(clang --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -n 1)"
  if apt-cache show "libclang-rt-${version}-dev" >/dev/null 2>&1; then
    install_packages "libclang-rt-${version}-dev"
  fi
}

# configure_and_build DIR [CMAKE ARGS...]: out-of-tree build of the whole project.
configure_and_build() {
  local dir="$1"
  shift
  prepare_build_root
  cmake -S "${REPO_ROOT}" -B "${dir}" -DCMAKE_BUILD_TYPE=Release "$@"
  cmake --build "${dir}" --parallel "${JOBS}"
}

# configure_and_build_targets DIR TARGET...: the same release tree, building only TARGETs. The
# tree's other settings (tests on or off) stay as they are, so ctest there never runs stale tests.
configure_and_build_targets() {
  local dir="$1"
  shift
  prepare_build_root
  cmake -S "${REPO_ROOT}" -B "${dir}" -DCMAKE_BUILD_TYPE=Release
  cmake --build "${dir}" --parallel "${JOBS}" --target "$@"
}

# The ROS 2 installation the node is built against, if this machine has one.
find_ros2_setup() {
  if [ -f /opt/ros/humble/setup.bash ]; then
    echo /opt/ros/humble/setup.bash
  fi
}

# source_ros2: sources ROS 2 Humble with the distribution's Python first on PATH.
source_ros2() {
  local setup
  setup="$(find_ros2_setup)"
  [ -n "${setup}" ] || { echo "ROS 2 Humble is not installed at /opt/ros/humble" >&2; return 1; }
  # ROS 2's Python tools live in the distribution's Python, which must come first.
  export PATH="/usr/bin:/bin:/usr/sbin:/sbin:${PATH}"
  set +u
  # shellcheck disable=SC1090
  source "${setup}"
  set -u
  command -v colcon >/dev/null || {
    echo "colcon is needed to build against ROS 2 (apt-get install colcon python3-colcon-cmake python3-colcon-ros)" >&2
    return 1
  }
}

# ROS_WORKSPACE: where colcon builds, installs and logs the package, as in a user's workspace.
# colcon finds the package at the repository root, so no link leads back into the tree.
ROS_WORKSPACE="${BUILD_ROOT}/ros_ws"
export COLCON_LOG_PATH="${ROS_WORKSPACE}/log"
COLCON_PATHS=(--base-paths "${REPO_ROOT}" --build-base "${ROS_WORKSPACE}/build"
  --install-base "${ROS_WORKSPACE}/install")

# colcon_build_package [CMAKE ARGS...]: builds and installs the package with colcon.
# shellcheck disable=SC2120  # the arguments are for callers that want more CMake settings
colcon_build_package() {
  prepare_build_root
  rm -f "${ROS_WORKSPACE}/src/tavrinox_camera_convertor"
  colcon build "${COLCON_PATHS[@]}" --packages-select tavrinox_camera_convertor \
    --event-handlers console_direct- \
    --cmake-args -DCMAKE_BUILD_TYPE=Release -DPython3_EXECUTABLE=/usr/bin/python3 "$@"
}

# The allocator settings doc/large_messages.md gives for consumers of large messages (the node's
# own process applies them itself).
CONSUMER_MALLOC="glibc.malloc.mmap_threshold=33554432:glibc.malloc.trim_threshold=1073741824"
CONSUMER_MALLOC+=":glibc.malloc.arena_max=1"

# parse_size WxH EXAMPLE: sets WIDTH and HEIGHT from a --size value, or exits with status 2
# showing EXAMPLE.
parse_size() {
  [[ "$1" =~ ^([0-9]+)x([0-9]+)$ ]] || { echo "--size must be WxH, e.g. $2" >&2; exit 2; }
  # shellcheck disable=SC2034  # for the script that sources this file
  WIDTH="${BASH_REMATCH[1]}"
  # shellcheck disable=SC2034
  HEIGHT="${BASH_REMATCH[2]}"
}

# raise_receive_buffers CAPPED: asks the kernel for the socket buffers the package's profiles
# want, saying "CAPPED are capped" when it may not.
raise_receive_buffers() {
  local wanted=67108864
  if [ "$(cat /proc/sys/net/core/rmem_max)" -lt "${wanted}" ]; then
    if as_root sysctl -w net.core.rmem_max="${wanted}" net.core.wmem_max=16777216 \
      >/dev/null 2>&1; then
      echo "raised net.core.rmem_max to ${wanted} for the profile's receive buffers"
    else
      echo "net.core.rmem_max stays at $(cat /proc/sys/net/core/rmem_max): $1 are capped"
    fi
  fi
}

# use_dds_profiles [MIDDLEWARE PROFILE]: the package's DDS profiles for the processes started
# from here on; with PROFILE, that file instead of the package's for MIDDLEWARE.
# shellcheck disable=SC2120  # without arguments: the package's profiles only
use_dds_profiles() {
  export CYCLONEDDS_URI="file://${SHARE}/config/cyclonedds.xml"
  export FASTRTPS_DEFAULT_PROFILES_FILE="${SHARE}/config/fastdds.xml"
  if [ -n "${2:-}" ]; then
    case "$1" in
      rmw_cyclonedds_cpp) export CYCLONEDDS_URI="file://$2" ;;
      *) export FASTRTPS_DEFAULT_PROFILES_FILE="$2" ;;
    esac
  fi
}

# Extra environment of the `ros2 component load` calls below: under SROS2 the CLI's own enclave
# (ROS_SECURITY_ENCLAVE_OVERRIDE=...).
LOAD_ENVIRONMENT=()

# load_component [--as WHAT] CONTAINER PLUGIN [ARGS...]: loads one of the package's components
# into a running container, trying again while the container's services are still being
# discovered. When it never loads: "could not load WHAT: <ros2's answer>", where WHAT is
# "PLUGIN into CONTAINER" unless given.
load_component() {
  local what=""
  if [ "$1" = --as ]; then
    what="$2"
    shift 2
  fi
  local container="$1" plugin="$2"
  shift 2
  local output
  for _ in 1 2 3 4 5; do
    if output="$(env "${LOAD_ENVIRONMENT[@]}" ros2 component load "${container}" \
      tavrinox_camera_convertor "${plugin}" "$@" 2>&1)"; then
      return 0
    fi
    sleep 2
  done
  echo "could not load ${what:-${plugin} into ${container}}: ${output}" >&2
  return 1
}

# wait_for_file FILE SECONDS [WHAT]: waits until FILE has contents; after SECONDS without, says
# "no WHAT after SECONDS s" (WHAT is FILE unless given) and fails.
wait_for_file() {
  local file="$1" limit="$2" what="${3:-$1}"
  for _ in $(seq 1 $((limit * 5))); do
    [ -s "${file}" ] && return 0
    sleep 0.2
  done
  echo "no ${what} after ${limit} s" >&2
  return 1
}

# stop_all: ends every process whose pid is in the array PIDS and empties it. Each gets a few
# seconds to end cleanly: a killed Fast DDS participant leaves its shared memory segment behind
# in /dev/shm.
stop_all() {
  local pid
  for pid in "${PIDS[@]}"; do
    kill -INT "${pid}" 2>/dev/null || true
  done
  for _ in $(seq 1 50); do
    local running=0
    for pid in "${PIDS[@]}"; do
      kill -0 "${pid}" 2>/dev/null && running=1
    done
    [ "${running}" -eq 0 ] && break
    sleep 0.1
  done
  for pid in "${PIDS[@]}"; do
    kill -KILL "${pid}" 2>/dev/null || true
    wait "${pid}" 2>/dev/null || true
  done
  PIDS=()
}

# use_installed_package [BUILD]: ROS 2 and the package's colcon install in this shell, built first
# unless BUILD is 0; sets PREFIX and SHARE to the install's prefix and share directory.
use_installed_package() {
  source_ros2
  if [ "${1:-1}" -eq 1 ]; then
    step "colcon build (${ROS_WORKSPACE})"
    colcon_build_package
  fi
  set +u
  # shellcheck disable=SC1091
  source "${ROS_WORKSPACE}/install/setup.bash"
  set -u
  PREFIX="$(ros2 pkg prefix tavrinox_camera_convertor)"
  # shellcheck disable=SC2034  # for the script that sources this file
  SHARE="${PREFIX}/share/tavrinox_camera_convertor"
}
