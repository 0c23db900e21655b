#!/usr/bin/env bash
# The converter's outputs across a link to another host, both hosts emulated on this machine: two
# network namespaces joined by a veth pair shaped like a LAN link (MTU 1500, a token bucket at
# --link-rate in each direction, a queue of a NIC's 1000 packets). On the robot side run the
# stand-in cameras (noisy depth), the installed node and a local consumer of the five raw
# outputs; on the remote side, once the first of two measured windows is over, a consumer of
# the transports chosen with --remote:
#   none             nobody joins: two windows alone, to see how far windows differ by themselves
#   lossless         the clouds from <cloud topic>/tavrinox_depth, the colour image from
#                    .../compressed (PNG), the depth image from .../compressedDepth
#   lossless_tavrinox  the same, but the depth image from .../tavrinox_depth
#   lossless_own     the package's transports only: tavrinox_depth for the clouds and the depth
#                    image, tavrinox_color for the colour image
#   raw_reliable     the five raw topics, reliable
#   raw_best_effort  the five raw topics, best effort
# One run gives the local consumer's figures without (window "first") and with the remote one
# (window "second"), the node's CPU per set in each, the bytes the link carried, the remote
# consumer's figures over the second window (latency from the outputs' header stamps: both
# namespaces share this machine's clock), and every output it decoded compared, by a hash, with
# the raw one the local consumer received of the same set.
#
# Usage: run_remote_benchmark.sh [--rmw "rmw_cyclonedds_cpp rmw_fastrtps_cpp"] [--rates "10 30"]
#          [--remote "none lossless raw_reliable raw_best_effort"]
#          [--seconds S]      (length of each of the two windows, default 30)
#          [--warm-up S]      (sets before the first window, default 5)
#          [--settle S]       (sets between the windows, while the remote consumer joins, default 5)
#          [--link-rate R]    (each direction, tc units: 1gbit, 100mbit; default 1gbit)
#          [--size WxH]       (default 1280x720)
#          [--profiles on|off]  (the package's DDS profiles for every process, default on)
#          [--profile FILE]   (another profile for the middleware to try instead, both sides)
#          [--depth-png-level N|default]  (compressedDepth's PNG level, default 1; "default"
#                              leaves the plugin's 9, which takes over a second a frame of noisy
#                              depth and holds up every other subtopic behind it)
#          [--node-args "..."]  (more ROS arguments for the node)
#          [--node-env "VAR=value ..."]  (environment of the node's process only, e.g.
#                              RMW_FASTRTPS_PUBLICATION_MODE=ASYNCHRONOUS)
#          [--quiet-wait S]   (wait up to S seconds for the machine to be idle before each run,
#                              default 600; the figure is in the report)
#          [--diagnose]       (sockets, UDP counters, the node's threads and a perf profile of
#                              the node in the second window, next to the report)
#          [--no-build]       (use the installed package as it is)
# Needs root: it creates and removes the namespaces tvx_robot and tvx_remote, the veth pair
# between them (198.18.0.1/24 and 198.18.0.2/24, nothing else) and raises net.core.rmem_max and
# wmem_max. Reports go to build/remote_benchmark/<middleware>_<rate>hz_<remote>.*, a summary
# table to build/remote_benchmark/summary.md.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
# The benchmark's parts, each in a file of its own.
PARTS="$(dirname "${BASH_SOURCE[0]}")/remote_benchmark"
# shellcheck source=remote_benchmark/emulated_link.sh
source "${PARTS}/emulated_link.sh"
# shellcheck source=remote_benchmark/shm_leftovers.sh
source "${PARTS}/shm_leftovers.sh"
# shellcheck source=remote_benchmark/quiet_machine.sh
source "${PARTS}/quiet_machine.sh"
# shellcheck source=remote_benchmark/diagnose.sh
source "${PARTS}/diagnose.sh"
# shellcheck source=remote_benchmark/summary.sh
source "${PARTS}/summary.sh"

MIDDLEWARES="rmw_cyclonedds_cpp rmw_fastrtps_cpp"
RATES="10 30"
REMOTES="none lossless raw_reliable raw_best_effort"
SECONDS_PER_WINDOW=30
WARM_UP=5
SETTLE=5
LINK_RATE="1gbit"
SIZE="1280x720"
PROFILES="on"
PROFILE=""
NODE_ARGS=""
NODE_ENV=""
DEPTH_PNG_LEVEL=1
QUIET_WAIT=600
DIAGNOSE=0
BUILD=1
while [ $# -gt 0 ]; do
  case "$1" in
    --rmw) MIDDLEWARES="$2"; shift 2 ;;
    --rates) RATES="$2"; shift 2 ;;
    --remote) REMOTES="$2"; shift 2 ;;
    --seconds) SECONDS_PER_WINDOW="$2"; shift 2 ;;
    --warm-up) WARM_UP="$2"; shift 2 ;;
    --settle) SETTLE="$2"; shift 2 ;;
    --link-rate) LINK_RATE="$2"; shift 2 ;;
    --size) SIZE="$2"; shift 2 ;;
    --profiles) PROFILES="$2"; shift 2 ;;
    --profile) PROFILE="$(realpath "$2")"; shift 2 ;;
    --node-args) NODE_ARGS="$2"; shift 2 ;;
    --depth-png-level) DEPTH_PNG_LEVEL="$2"; shift 2 ;;
    --node-env) NODE_ENV="$2"; shift 2 ;;
    --quiet-wait) QUIET_WAIT="$2"; shift 2 ;;
    --diagnose) DIAGNOSE=1; shift ;;
    --no-build) BUILD=0; shift ;;
    -h|--help) sed -n '2,/^source/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "unknown option $1 (see the usage at the top of $0, or --help)" >&2; exit 2 ;;
  esac
done
parse_size "${SIZE}" 1280x720
[[ "${LINK_RATE}" =~ ^([0-9]+)(kbit|mbit|gbit)$ ]] ||
  { echo "--link-rate must be a number with kbit, mbit or gbit, e.g. 1gbit" >&2; exit 2; }
case "${BASH_REMATCH[2]}" in
  kbit) LINK_BPS=$((BASH_REMATCH[1] * 1000)) ;;
  mbit) LINK_BPS=$((BASH_REMATCH[1] * 1000000)) ;;
  gbit) LINK_BPS=$((BASH_REMATCH[1] * 1000000000)) ;;
esac
case "${PROFILES}" in on|off) ;; *) echo "--profiles must be on or off" >&2; exit 2 ;; esac
[[ "${DEPTH_PNG_LEVEL}" =~ ^([0-9]|default)$ ]] ||
  { echo "--depth-png-level must be 0 to 9 or default" >&2; exit 2; }
# compressed_depth_image_transport reads the node's plain "png_level" parameter.
[ "${DEPTH_PNG_LEVEL}" = default ] || NODE_ARGS="-p png_level:=${DEPTH_PNG_LEVEL} ${NODE_ARGS}"
for remote in ${REMOTES}; do
  case "${remote}" in
    none|lossless|lossless_tavrinox|lossless_own|raw_reliable|raw_best_effort) ;;
    *) echo "unknown --remote ${remote}: none, lossless, lossless_tavrinox, lossless_own," \
      "raw_reliable or raw_best_effort" >&2
       exit 2 ;;
  esac
done
for middleware in ${MIDDLEWARES}; do
  case "${middleware}" in
    rmw_cyclonedds_cpp|rmw_fastrtps_cpp) ;;
    *) echo "unknown --rmw ${middleware}: rmw_cyclonedds_cpp or rmw_fastrtps_cpp" >&2; exit 2 ;;
  esac
done
[ "$(id -u)" -eq 0 ] ||
  { echo "network namespaces need root: run as root or with sudo" >&2; exit 2; }

ROBOT_NS=tvx_robot
REMOTE_NS=tvx_remote
ROBOT_IF=tvx_robot0
REMOTE_IF=tvx_remote0
ROBOT_IP=198.18.0.1
REMOTE_IP=198.18.0.2
# A NIC's transmit queue holds 1000 packets; tokens for 2 ms at the link's rate.
QUEUE_BYTES=$((1000 * 1514))
BURST_BYTES=$((LINK_BPS / 8 / 500 > 32768 ? LINK_BPS / 8 / 500 : 32768))
WANTED_RMEM=67108864
WANTED_WMEM=33554432

use_installed_package "${BUILD}"
TOOLS="${PREFIX}/lib/tavrinox_camera_convertor"
for tool in camera_convertor_node tavrinox_stream_benchmark_node tavrinox_remote_consumer_node \
  tavrinox_remote_report; do
  [ -x "${TOOLS}/${tool}" ] || { echo "${TOOLS}/${tool} is missing: build first" >&2; exit 1; }
done
RESULTS="${BUILD_ROOT}/remote_benchmark"
mkdir -p "${RESULTS}"
# The node measured: the commit, and whether the tree held changes beside it.
SOURCE_VERSION="$(git -C "${REPO_ROOT}" describe --always --dirty 2>/dev/null || echo unknown)"

step "Kernel socket buffers"
# The namespaces see the host's limits; a kernel that keeps them per namespace gets them set there
# too (below), one that does not refuses the write there.
for pair in "net.core.rmem_max ${WANTED_RMEM}" "net.core.wmem_max ${WANTED_WMEM}"; do
  read -r key wanted <<< "${pair}"
  if [ "$(sysctl -n "${key}")" -lt "${wanted}" ]; then
    sysctl -q -w "${key}=${wanted}"
  fi
done
echo "host: net.core.rmem_max=$(sysctl -n net.core.rmem_max)" \
  "net.core.wmem_max=$(sysctl -n net.core.wmem_max)"

PIDS=()

# stop_all (common.sh) ends them.
teardown() {
  stop_all
  remove_link
  remove_shm_leftovers
}
trap 'teardown' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# run_one REMOTE: one run at ${RATE} Hz over ${MIDDLEWARE}; its files are ${RESULTS}/LABEL.*.
run_one() {
  local remote="$1"
  local label="${MIDDLEWARE#rmw_}_${RATE}hz_${remote}"
  local base="${RESULTS}/${label}"
  rm -f "${base}".*
  wait_for_quiet_machine
  setup_link
  note_shm_files
  export ROS_DOMAIN_ID=$((1 + RANDOM % 200)) RMW_IMPLEMENTATION="${MIDDLEWARE}" ROS_LOCALHOST_ONLY=0
  # The package's DDS profiles for every process on both sides, unless --profiles off.
  unset CYCLONEDDS_URI FASTRTPS_DEFAULT_PROFILES_FILE
  [ "${PROFILES}" = off ] || use_dds_profiles "${MIDDLEWARE}" "${PROFILE}"

  # shellcheck disable=SC2086
  ip netns exec "${ROBOT_NS}" env -u GLIBC_TUNABLES ${NODE_ENV} \
    "${TOOLS}/camera_convertor_node" --ros-args \
    -p camera_02.color.converted_image.format:=png ${NODE_ARGS} > "${base}.node.log" 2>&1 &
  PIDS+=($!)
  local node=$!
  local windows_s=$((WARM_UP + 2 * SECONDS_PER_WINDOW + SETTLE))
  ip netns exec "${ROBOT_NS}" env GLIBC_TUNABLES="${CONSUMER_MALLOC}" \
    "${TOOLS}/tavrinox_stream_benchmark_node" --ros-args \
    -p role:=bench -p label:="${label}" -p watch:="node:${node}" -p report:="${base}.txt" \
    -p width:="${WIDTH}" -p height:="${HEIGHT}" -p rate_hz:="${RATE}.0" \
    -p duration_s:="${SECONDS_PER_WINDOW}.0" -p warm_up_s:="${WARM_UP}.0" \
    -p noisy_depth:=true -p windows:=2 -p join_settle_s:="${SETTLE}.0" \
    -p join_marker:="${base}.join" -p outputs_csv:="${base}.local.csv" \
    -p link_interface:="${ROBOT_IF}" > "${base}.bench.log" 2>&1 &
  PIDS+=($!)

  wait_for_file "${base}.join" $((windows_s + 60))
  note_link_counters "${base}" join
  if [ "${remote}" != none ]; then
    # A host of its own has a /dev/shm of its own: Fast DDS must not find the robot's segments.
    # Its processors are its own too; here they are the robot's, so it yields them, and decodes
    # the compressed messages (about 2 MB a set) only once the run is over.
    local defer=false
    [ "${remote}" != raw_reliable ] && [ "${remote}" != raw_best_effort ] && defer=true
    # shellcheck disable=SC2016
    ip netns exec "${REMOTE_NS}" env GLIBC_TUNABLES="${CONSUMER_MALLOC}" nice -n 19 \
      unshare --mount --propagation private sh -c \
      'mount -t tmpfs -o mode=1777,size=2g tvx_remote_shm /dev/shm && exec "$0" "$@"' \
      "${TOOLS}/tavrinox_remote_consumer_node" --ros-args -p mode:="${remote}" \
      -p outputs_csv:="${base}.remote.csv" -p report:="${base}.remote.txt" \
      -p stop_file:="${base}.stop" -p defer_decoding:="${defer}" -p max_pending_mib:=8192 \
      > "${base}.remote.log" 2>&1 &
    PIDS+=($!)
  fi
  if [ "${DIAGNOSE}" -eq 1 ]; then
    sleep $((SETTLE + 2))
    diagnose "${label}" "${node}"
  fi

  wait_for_file "${base}.txt" $((windows_s + 90))
  note_link_counters "${base}" end
  if [ "${remote}" != none ]; then
    touch "${base}.stop"
    wait_for_file "${base}.remote.txt" 600 || true
  fi
  stop_all
  teardown

  {
    echo "machine_busy_before_run=${MACHINE_BUSY}% source=${SOURCE_VERSION}" \
      "node_built=$(date -r "${TOOLS}/camera_convertor_node" '+%F %T')" \
      "component_built=$(date -r "${PREFIX}/lib/libcamera_convertor_component.so" '+%F %T')"
    link_counts_after_join "${base}"
    if [ -s "${base}.remote.csv" ]; then
      local first end outputs
      first="$(sed -n 's/^window=second first_set=\([0-9]*\) .*/\1/p' "${base}.txt")"
      end="$(sed -n 's/^window=second first_set=[0-9]* end_set=\([0-9]*\).*/\1/p' "${base}.txt")"
      outputs="cam1_cloud,cam2_cloud,depth_image,color_image,converted_cloud"
      "${TOOLS}/tavrinox_remote_report" --reference "${base}.local.csv" \
        --received "${base}.remote.csv" --first-set "${first}" --end-set "${end}" \
        --outputs "${outputs}"
      cat "${base}.remote.txt" 2>/dev/null || true
    fi
  } > "${base}.link.txt"
  cat "${base}.txt" "${base}.link.txt"
}

for MIDDLEWARE in ${MIDDLEWARES}; do
  for RATE in ${RATES}; do
    for remote in ${REMOTES}; do
      step "${MIDDLEWARE#rmw_}, ${RATE} Hz, remote ${remote}, ${SECONDS_PER_WINDOW} s windows"
      run_one "${remote}"
    done
  done
done

step "Summary (${RESULTS}/summary.md)"
summary_table | tee "${RESULTS}/summary.md"
