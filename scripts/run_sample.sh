#!/usr/bin/env bash
# The main job on the bundled sample scene: installs what is missing, builds, and runs the
# offline runner, which writes clouds, images and a preview picture to out/sample/.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

OUT_DIR="${1:-${REPO_ROOT}/out/sample}"

step "Installing build packages"
install_packages "${BUILD_PACKAGES[@]}"

step "Building (${BUILD_ROOT}/release)"
configure_and_build_targets "${BUILD_ROOT}/release" tavrinox_offline_runner

step "Running the offline runner on the sample scene"
"${BUILD_ROOT}/release/tools/tavrinox_offline_runner" --sample --out "${OUT_DIR}"

echo ""
echo "Outputs are in ${OUT_DIR}; open ${OUT_DIR}/preview.png to judge the result at a glance."
