#!/usr/bin/env bash
# The whole test suite: installs what is missing, checks the documentation's links, builds and
# runs the unit tests, runs them again under AddressSanitizer and UndefinedBehaviorSanitizer, runs
# the fuzz targets briefly, and, where ROS 2 Humble is installed, builds the node and runs its
# tests over the middleware.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

step "Installing build packages"
install_packages "${BUILD_PACKAGES[@]}"

step "Checking the documentation's links"
python3 "${REPO_ROOT}/scripts/check_doc_links.py" "${REPO_ROOT}"

step "Building (${BUILD_ROOT}/release)"
configure_and_build "${BUILD_ROOT}/release"

step "Running the unit tests"
ctest --test-dir "${BUILD_ROOT}/release" --output-on-failure --parallel "${JOBS}"

step "Building with AddressSanitizer and UndefinedBehaviorSanitizer (${BUILD_ROOT}/sanitize)"
configure_and_build "${BUILD_ROOT}/sanitize" -DTAVRINOX_SANITIZE=ON -DTAVRINOX_BUILD_TOOLS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo

step "Running the unit tests under the sanitizers"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "${BUILD_ROOT}/sanitize" --output-on-failure --parallel "${JOBS}"

if [ -x "${REPO_ROOT}/scripts/run_fuzzers.sh" ]; then
  step "Fuzzing briefly from the seed corpora"
  "${REPO_ROOT}/scripts/run_fuzzers.sh" "${TAVRINOX_FUZZ_SECONDS:-30}"
fi

ROS_SETUP="$(find_ros2_setup)"
if [ -n "${ROS_SETUP}" ] && [ -x "${REPO_ROOT}/scripts/run_ros_tests.sh" ]; then
  step "Building the node and running its tests against ROS 2 Humble (${ROS_SETUP})"
  "${REPO_ROOT}/scripts/run_ros_tests.sh"
else
  echo ""
  echo "==> ROS 2 node tests skipped: ROS 2 Humble is not installed at /opt/ros/humble"
fi

echo ""
echo "All test steps passed."
