#!/usr/bin/env bash
# The converter at camera rate through ROS 2: a stand-in for both cameras publishes tagged frame
# sets, the converter turns them into its five outputs, and a consumer times each output from its
# set's publication. Set-ups:
#   defaults  the node in its own process, the middleware's default settings
#   profile   the same with the package's large-message profiles (config/cyclonedds.xml, fastdds.xml)
#   composed  converter and benchmark in one component container, intra-process (by default the
#             container the composed launch file starts, component_container_isolated)
#   idle      nobody subscribes to the outputs; beside it a process that only receives the images
# Usage: run_stream_benchmark.sh [--seconds S] [--rates "10 30"] [--size WxH]
#                                [--setups "defaults profile composed idle"] [--rmw NAME]
#                                [--bad-every N]   (every Nth set is a bad one, as in a soak)
#                                [--warm-up S]     (seconds of sets before the measurement, default 5)
#                                [--profile FILE]  (another profile for the middleware to try instead)
#                                [--composed-container NAME]  (another container of rclcpp_components)
#                                [--node-args "..."]  (parameters for the node in its own process,
#                                                      e.g. "-p max_set_interval:=0")
#                                [--suffix S]      (appended to the reports' names, to keep runs apart)
#                                [--secure]        (SROS2, enforced: a keystore per run, the node in
#                                                   its policy's enclave; reports end in _secured)
#                                [--governance sign]  (with --secure: the inputs' and outputs' submessages
#                                                   signed, not encrypted; reports end in _signed)
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

SECONDS_PER_RUN=60
RATES="10 30"
SIZE="1280x720"
SETUPS="defaults profile composed idle"
MIDDLEWARE="rmw_cyclonedds_cpp"
BAD_EVERY=0
WARM_UP=5
PROFILE=""
COMPOSED_CONTAINER="component_container_isolated"
NODE_ARGS=""
SUFFIX=""
SECURE=0
GOVERNANCE=default
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) SECONDS_PER_RUN="$2"; shift 2 ;;
    --rates) RATES="$2"; shift 2 ;;
    --size) SIZE="$2"; shift 2 ;;
    --setups) SETUPS="$2"; shift 2 ;;
    --rmw) MIDDLEWARE="$2"; shift 2 ;;
    --bad-every) BAD_EVERY="$2"; shift 2 ;;
    --warm-up) WARM_UP="$2"; shift 2 ;;
    --profile) PROFILE="$(realpath "$2")"; shift 2 ;;
    --composed-container) COMPOSED_CONTAINER="$2"; shift 2 ;;
    --node-args) NODE_ARGS="$2"; shift 2 ;;
    --suffix) SUFFIX="$2"; shift 2 ;;
    --secure) SECURE=1; shift ;;
    --governance) GOVERNANCE="$2"; shift 2 ;;
    *) echo "unknown option $1 (see the usage at the top of $0)" >&2; exit 2 ;;
  esac
done
parse_size "${SIZE}" 1280x720

use_installed_package

NODE="${PREFIX}/lib/tavrinox_camera_convertor/camera_convertor_node"
COMPONENTS="$(ros2 pkg prefix rclcpp_components)/lib/rclcpp_components"
# The benchmark's own process: publishing and receiving in callback groups of their own, in parallel.
CONTAINER="${COMPONENTS}/component_container_mt"
RESULTS="${BUILD_ROOT}/stream_benchmark"
mkdir -p "${RESULTS}"
export ROS_LOCALHOST_ONLY=1 RMW_IMPLEMENTATION="${MIDDLEWARE}"

step "Kernel socket buffers"
raise_receive_buffers "the profile's buffers"
echo "net.core.rmem_max=$(cat /proc/sys/net/core/rmem_max) net.core.wmem_max=$(cat /proc/sys/net/core/wmem_max)"

PIDS=()
# stop_all (common.sh) ends them.
trap 'stop_all' EXIT

# Under SROS2 every process has an enclave: the node its policy's, the benchmark's containers and
# the CLI that loads components one allowed everything.
NODE_ENCLAVE=()
BENCH_ENCLAVE=()
if [ "${SECURE}" -eq 1 ]; then
  case "${GOVERNANCE}" in
    default) SUFFIX+="_secured"; SIGN_TOPICS="" ;;
    # The four inputs and the five outputs with their subtopics.
    sign) SUFFIX+="_signed"
      SIGN_TOPICS="rt/camera_0?/*/image_raw rt/tavrinox_camera_convertor/*"
      SIGN_TOPICS+=" rt/camera_02/*/converted_image*" ;;
    *) echo "--governance must be default or sign" >&2; exit 2 ;;
  esac
  KEYSTORE="$(mktemp -d)/keystore"
  trap 'stop_all; secure_stop; rm -rf "$(dirname "${KEYSTORE}")"' EXIT
  export ROS_SECURITY_ENABLE=true ROS_SECURITY_STRATEGY=Enforce ROS_SECURITY_KEYSTORE="${KEYSTORE}"
  NODE_ENCLAVE=(--ros-args --enclave /tavrinox_camera_convertor)
  BENCH_ENCLAVE=(--ros-args --enclave /tavrinox_benchmark/bench)
  # shellcheck disable=SC2034  # for load_component (common.sh)
  LOAD_ENVIRONMENT=(ROS_SECURITY_ENCLAVE_OVERRIDE=/tavrinox_benchmark/cli)
fi

# secure_keystore: the keystore for this run's ROS_DOMAIN_ID, which sros2 writes into it, and a
# ros2 daemon in the CLI's enclave for this run. The loads go through the daemon: a CLI without one
# looks for the container after half a second, before a secured Fast DDS participant has finished
# its handshakes with the others, and never finds it.
secure_keystore() {
  rm -rf "${KEYSTORE}"
  "${REPO_ROOT}/scripts/make_keystore.sh" "${KEYSTORE}" \
    --policy "${SHARE}/policies/camera_convertor.policy.xml" \
    --enclave /tavrinox_benchmark/bench --enclave /tavrinox_benchmark/cli \
    ${SIGN_TOPICS:+--sign "${SIGN_TOPICS}"}
  env "${LOAD_ENVIRONMENT[@]}" ros2 daemon start > /dev/null
}

# secure_stop: ends the run's daemon before its keystore goes.
secure_stop() {
  env "${LOAD_ENVIRONMENT[@]}" ros2 daemon stop > /dev/null 2>&1 || true
}

# profile_environment SETUP: the consumers' allocator settings (CONSUMER_MALLOC), which the
# "defaults" set-up runs without, and the DDS profiles, which "defaults" and "idle" run without.
profile_environment() {
  unset GLIBC_TUNABLES
  [ "$1" = defaults ] || export GLIBC_TUNABLES="${CONSUMER_MALLOC}"
  case "$1" in
    defaults|idle) unset CYCLONEDDS_URI FASTRTPS_DEFAULT_PROFILES_FILE ;;
    *) use_dds_profiles "${MIDDLEWARE}" "${PROFILE}" ;;
  esac
}

# load_benchmark ROLE LABEL WATCH REPORT [INTRA]: loads the benchmark into the running container.
load_benchmark() {
  local role="$1" label="$2" watch="$3" report="$4" intra="${5:-false}"
  load_component /ComponentManager tavrinox_camera_convertor::StreamBenchmark \
    -p role:="${role}" -p label:="${label}" -p watch:="${watch}" -p report:="${report}" \
    -p width:="${WIDTH}" -p height:="${HEIGHT}" -p rate_hz:="${RATE}.0" -p duration_s:="${SECONDS_PER_RUN}.0" \
    -p bad_every:="${BAD_EVERY}" -p warm_up_s:="${WARM_UP}.0" \
    -e use_intra_process_comms:="${intra}"
}

# run_setup SETUP: one run at ${RATE} Hz; its report ends up in ${RESULTS}/SETUP_RATE.txt.
run_setup() {
  local setup="$1"
  local label="${setup}_${RATE}hz${SUFFIX}"
  local report="${RESULTS}/${label}.txt" log="${RESULTS}/${label}.log"
  rm -f "${report}"
  export ROS_DOMAIN_ID=$((1 + RANDOM % 200))
  profile_environment "${setup}"
  [ "${SECURE}" -eq 0 ] || secure_keystore
  case "${setup}" in
    composed)
      "${COMPONENTS}/${COMPOSED_CONTAINER}" "${BENCH_ENCLAVE[@]}" > "${log}" 2>&1 &
      PIDS+=($!)
      local container=$!
      sleep 2
      load_component /ComponentManager tavrinox_camera_convertor::CameraConvertor \
        -e use_intra_process_comms:=true
      load_benchmark bench "${label}" "container:${container}" "${report}" true
      ;;
    defaults|profile)
      # shellcheck disable=SC2086
      env -u GLIBC_TUNABLES "${NODE}" "${NODE_ENCLAVE[@]}" ${NODE_ARGS:+--ros-args ${NODE_ARGS}} \
        > "${log}" 2>&1 &
      PIDS+=($!)
      local node=$!
      "${CONTAINER}" "${BENCH_ENCLAVE[@]}" > "${log}.bench" 2>&1 &
      PIDS+=($!)
      sleep 2
      load_benchmark bench "${label}" "node:${node}" "${report}"
      ;;
    idle)
      # shellcheck disable=SC2086
      env -u GLIBC_TUNABLES "${NODE}" "${NODE_ENCLAVE[@]}" ${NODE_ARGS:+--ros-args ${NODE_ARGS}} \
        > "${log}" 2>&1 &
      PIDS+=($!)
      local node=$!
      "${CONTAINER}" --ros-args -r __node:=sink_container "${BENCH_ENCLAVE[@]}" > "${log}.sink" 2>&1 &
      PIDS+=($!)
      local sink=$!
      "${CONTAINER}" "${BENCH_ENCLAVE[@]}" > "${log}.bench" 2>&1 &
      PIDS+=($!)
      sleep 2
      load_component /sink_container tavrinox_camera_convertor::StreamBenchmark -p role:=sink -p label:=sink
      load_benchmark publisher "${label}" "node:${node},sink:${sink}" "${report}"
      ;;
    *) echo "unknown set-up ${setup}" >&2; return 2 ;;
  esac
  wait_for_file "${report}" $((SECONDS_PER_RUN + WARM_UP + 90)) report
  stop_all
  [ "${SECURE}" -eq 0 ] || secure_stop
  cat "${report}"
}

for RATE in ${RATES}; do
  for setup in ${SETUPS}; do
    step "${setup} at ${RATE} Hz, ${WIDTH}x${HEIGHT}, ${SECONDS_PER_RUN} s, ${MIDDLEWARE}"
    run_setup "${setup}"
  done
done

step "Summary (${RESULTS})"
echo "| set-up | rate | whole sets | converted cloud p50 / p90 / p99 / max (ms) | node CPU per set | node RSS start / end / spread |"
echo "|---|---|---|---|---|---|"
for RATE in ${RATES}; do
  for setup in ${SETUPS}; do
    report="${RESULTS}/${setup}_${RATE}hz${SUFFIX}.txt"
    [ -f "${report}" ] || continue
    whole="$(sed -n 's/^whole_sets=\([0-9]*\) of \([0-9]*\) (\(.*\)).*/\3 (\1 of \2)/p' "${report}")"
    latency="$(sed -n 's/^output=converted_cloud .*p50_ms=\([^ ]*\) p90_ms=\([^ ]*\) p99_ms=\([^ ]*\) max_ms=\([^ ]*\).*/\1 \/ \2 \/ \3 \/ \4/p' "${report}")"
    usage="$(grep -E '^process=(node|container) ' "${report}" | head -n 1)"
    cpu="$(sed -n 's/.*cpu_ms_per_set=\([^ ]*\).*/\1 ms/p' <<< "${usage}")"
    rss="$(sed -n 's/.*rss_start_kib=\([^ ]*\) rss_end_kib=\([^ ]*\) .*rss_spread=\([^ ]*\).*/\1 \/ \2 KiB \/ \3/p' <<< "${usage}")"
    echo "| ${setup} | ${RATE} Hz | ${whole:--} | ${latency:--} | ${cpu} | ${rss} |"
  done
done
