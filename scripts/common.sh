#!/usr/bin/env bash
# Shared by the project's scripts: named steps that fail loudly, and idempotent installation
# of the Debian/Ubuntu packages the build needs.
set -Eeuo pipefail

REPO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_ROOT="${TAVRINOX_BUILD_ROOT:-${REPO_ROOT}/build}"
JOBS="${TAVRINOX_JOBS:-$(nproc)}"

# Packages of the build itself; the ROS 2 node additionally needs an installed ROS 2 Humble.
BUILD_PACKAGES=(
  cmake make g++ pkg-config
  libeigen3-dev libyaml-cpp-dev libpcl-dev libopencv-dev
  libbackward-cpp-dev libdw-dev libgtest-dev libbenchmark-dev
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
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
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
  cmake -S "${REPO_ROOT}" -B "${dir}" -DCMAKE_BUILD_TYPE=Release "$@"
  cmake --build "${dir}" --parallel "${JOBS}"
}

# configure_and_build_targets DIR TARGET...: the same release tree, building only TARGETs. The
# tree's other settings (tests on or off) stay as they are, so ctest there never runs stale tests.
configure_and_build_targets() {
  local dir="$1"
  shift
  cmake -S "${REPO_ROOT}" -B "${dir}" -DCMAKE_BUILD_TYPE=Release
  cmake --build "${dir}" --parallel "${JOBS}" --target "$@"
}

# The ROS 2 installation the node is built against, if this machine has one.
find_ros2_setup() {
  if [ -f /opt/ros/humble/setup.bash ]; then
    echo /opt/ros/humble/setup.bash
  fi
}
