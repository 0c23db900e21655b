#!/usr/bin/env bash
# Builds and runs the frame benchmark: generated frames at 640 x 480 and 1280 x 720, or your own
# with --config FILE --depth1 FILE --depth2 FILE --rgb1 FILE. Other options: --runs N, --case NAME,
# --instruction-set scalar|sse2|avx2, --threads 1|2.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

step "Installing build packages"
install_packages "${BUILD_PACKAGES[@]}"

step "Building (${BUILD_ROOT}/release)"
configure_and_build_targets "${BUILD_ROOT}/release" tavrinox_frame_benchmark

step "Running the frame benchmark"
"${BUILD_ROOT}/release/bench/tavrinox_frame_benchmark" "$@"
