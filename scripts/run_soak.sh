#!/usr/bin/env bash
# Soak run, not a test: one FramePipeline fed FRAMES frames (default 10000) of changing sizes
# and contents, bad ones included. Prints resident memory after the warm-up, halfway and at
# the end, and a verdict; fails if memory grew by more than 1 MiB after the warm-up.
#
# usage: scripts/run_soak.sh [FRAMES]
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

SOAK_FRAMES="${1:-10000}"
if ! [[ "${SOAK_FRAMES}" =~ ^[1-9][0-9]*$ ]] || [ "${SOAK_FRAMES}" -lt 2 ]; then
  echo "usage: $0 [FRAMES]   (at least 2 frames, default 10000)" >&2
  exit 2
fi
SOAK_BUILD="${BUILD_ROOT}/release"

step "Installing build packages"
install_packages "${BUILD_PACKAGES[@]}"

step "Building the soak tool (${SOAK_BUILD})"
prepare_build_root
cmake -S "${REPO_ROOT}" -B "${SOAK_BUILD}" -DCMAKE_BUILD_TYPE=Release -DTAVRINOX_BUILD_TOOLS=ON
cmake --build "${SOAK_BUILD}" --parallel "${JOBS}" --target tavrinox_soak

step "Soaking the frame pipeline with ${SOAK_FRAMES} frames"
"${SOAK_BUILD}/bench/tavrinox_soak" "${REPO_ROOT}/config/camera_config.yaml" "${SOAK_FRAMES}"
