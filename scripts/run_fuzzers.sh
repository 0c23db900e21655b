#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer
# (the core library included), and runs each for SECONDS seconds (default 60) from a copy of
# its seed corpus in fuzz/corpus/, which is never written to. Exits non-zero on any finding;
# the input that triggered it is kept under ${BUILD_ROOT}/fuzz/artifacts/<target>/.
#
# usage: scripts/run_fuzzers.sh [SECONDS]
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

FUZZ_SECONDS="${1:-60}"
if ! [[ "${FUZZ_SECONDS}" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: $0 [SECONDS]   (a positive number of seconds per target, default 60)" >&2
  exit 2
fi
FUZZ_BUILD="${BUILD_ROOT}/fuzz"
FUZZ_TARGETS=(config_fuzzer frame_fuzzer picture_fuzzer cloud_codec_fuzzer depth_image_codec_fuzzer
  color_image_codec_fuzzer)
# Longest time one input may take, seconds: the inputs are small, so seconds mean work that is
# not bounded by them, a finding too. The pictures are bounded by their pixels and points, the
# compressed clouds, depth and colour images by the decoders' limits (64 Ki pixels, 1 MiB) that
# the targets set.
declare -A FUZZ_TIMEOUT=(
  [config_fuzzer]=25 [frame_fuzzer]=25 [picture_fuzzer]=10 [cloud_codec_fuzzer]=10
  [depth_image_codec_fuzzer]=10 [color_image_codec_fuzzer]=10)
# Longest input libFuzzer makes: the default configuration is under 1.5 KB, and a frame's
# headers and pixel patterns take a few hundred bytes (image sizes are not input sizes), as do
# a picture's clouds (a few bytes make thousands of points alike) and a compressed cloud (zstd
# makes kilobytes of a 64 Ki-pixel image).
FUZZ_MAX_LEN=4096

step "Installing build packages, clang and its libFuzzer runtime"
install_packages "${BUILD_PACKAGES[@]}"
install_fuzz_packages

step "Building the fuzz targets with clang and the sanitizers (${FUZZ_BUILD})"
prepare_build_root
cmake -S "${REPO_ROOT}" -B "${FUZZ_BUILD}" \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAVRINOX_BUILD_FUZZERS=ON -DTAVRINOX_SANITIZE=ON -DTAVRINOX_BUILD_TESTS=OFF \
  -DTAVRINOX_BUILD_TOOLS=ON
cmake --build "${FUZZ_BUILD}" --parallel "${JOBS}" --target "${FUZZ_TARGETS[@]}"

WORK_ROOT="$(mktemp -d "${TMPDIR:-/tmp}/tavrinox_fuzz.XXXXXX")"
trap 'rm -rf "${WORK_ROOT}"' EXIT

failed=()
summary=()
for target in "${FUZZ_TARGETS[@]}"; do
  step "Fuzzing ${target} for ${FUZZ_SECONDS} s"
  binary="${FUZZ_BUILD}/fuzz/${target}"
  work_corpus="${WORK_ROOT}/${target}"
  artifacts="${FUZZ_BUILD}/artifacts/${target}"
  log="${FUZZ_BUILD}/${target}.log"
  mkdir -p "${work_corpus}" "${artifacts}"
  seeds="${REPO_ROOT}/fuzz/corpus/${target}"
  if [ -d "${seeds}" ]; then
    cp -R "${seeds}/." "${work_corpus}/"
  fi
  echo "seed inputs: $(find "${work_corpus}" -type f | wc -l); log: ${log}"
  if "${binary}" -max_total_time="${FUZZ_SECONDS}" -max_len="${FUZZ_MAX_LEN}" \
    -timeout="${FUZZ_TIMEOUT[${target}]}" \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="${artifacts}/" "${work_corpus}" \
    >"${log}" 2>&1
  then
    outcome="no findings"
  else
    outcome="FINDING (exit status $?)"
    failed+=("${target}")
    tail -n 60 "${log}" >&2
  fi
  executions="$(sed -n 's/^stat::number_of_executed_units: *//p' "${log}" | tail -n 1)"
  summary+=(
    "${target}: ${executions:-unknown} executions (time limit ${FUZZ_SECONDS} s), ${outcome}")
  echo "${summary[-1]}"
done

echo ""
echo "==> Fuzzing summary"
printf '%s\n' "${summary[@]}"
if [ "${#failed[@]}" -ne 0 ]; then
  echo "FAILED: findings in ${failed[*]}; reproduce with: ${FUZZ_BUILD}/fuzz/<target> <artifact>" \
    "(artifacts under ${FUZZ_BUILD}/artifacts/)" >&2
  exit 1
fi
