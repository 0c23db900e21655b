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
MACHINE_BUSY=0
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
[[ "${SIZE}" =~ ^([0-9]+)x([0-9]+)$ ]] || { echo "--size must be WxH, e.g. 1280x720" >&2; exit 2; }
WIDTH="${BASH_REMATCH[1]}"
HEIGHT="${BASH_REMATCH[2]}"
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
    none|lossless|lossless_tavrinox|raw_reliable|raw_best_effort) ;;
    *) echo "unknown --remote ${remote}: none, lossless, lossless_tavrinox, raw_reliable or" \
      "raw_best_effort" >&2
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
LINK_UP=0
SHM_BEFORE=""

# stop_all (common.sh) ends them.

# Shared memory files of Fast DDS that this run created and that no process uses any more. Those
# of other processes on the machine, and those that were there before, are left alone.
remove_shm_leftovers() {
  local file name in_use
  for file in /dev/shm/fastrtps_*; do
    [ -e "${file}" ] || continue
    name="$(basename "${file}")"
    grep -qxF "${name}" <<< "${SHM_BEFORE}" && continue
    in_use=0
    if grep -qsF "${file}" /proc/[0-9]*/maps 2>/dev/null; then
      in_use=1
    elif [ -n "$(find /proc/[0-9]*/fd -maxdepth 1 -lname "${file}" -print -quit 2>/dev/null)" ]
    then
      in_use=1
    fi
    [ "${in_use}" -eq 1 ] || rm -f "${file}"
  done
}

teardown() {
  stop_all
  if [ "${LINK_UP}" -eq 1 ]; then
    local ns pid
    for ns in "${ROBOT_NS}" "${REMOTE_NS}"; do
      # Nothing else runs in them; anything left was started by this run.
      for pid in $(ip netns pids "${ns}" 2>/dev/null); do
        kill -KILL "${pid}" 2>/dev/null || true
      done
      # Removing a namespace takes its end of the veth pair, and with it the pair and qdiscs.
      ip netns del "${ns}" 2>/dev/null || true
    done
    LINK_UP=0
  fi
  remove_shm_leftovers
}
trap 'teardown' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

setup_link() {
  local ns
  for ns in "${ROBOT_NS}" "${REMOTE_NS}"; do
    if ip netns list | grep -qw "^${ns}"; then
      if [ -n "$(ip netns pids "${ns}")" ]; then
        echo "namespace ${ns} is in use (another run?):" \
          "processes $(ip netns pids "${ns}" | xargs)" >&2
        exit 1
      fi
      ip netns del "${ns}"
    fi
  done
  ip netns add "${ROBOT_NS}"
  LINK_UP=1
  ip netns add "${REMOTE_NS}"
  ip link add name "${ROBOT_IF}" netns "${ROBOT_NS}" type veth \
    peer name "${REMOTE_IF}" netns "${REMOTE_NS}"
  local side
  for side in "${ROBOT_NS} ${ROBOT_IF} ${ROBOT_IP}" "${REMOTE_NS} ${REMOTE_IF} ${REMOTE_IP}"; do
    local interface address
    read -r ns interface address <<< "${side}"
    ip -n "${ns}" link set lo up
    ip -n "${ns}" link set "${interface}" mtu 1500 up
    ip -n "${ns}" addr add "${address}/24" dev "${interface}"
    # DDS discovery multicasts; without a default route a multicast send has nowhere to go.
    ip -n "${ns}" route add 224.0.0.0/4 dev "${interface}"
    tc -n "${ns}" qdisc add dev "${interface}" root tbf rate "${LINK_RATE}" \
      burst "${BURST_BYTES}" limit "${QUEUE_BYTES}"
    ip netns exec "${ns}" sysctl -q -w net.core.rmem_max="${WANTED_RMEM}" \
      net.core.wmem_max="${WANTED_WMEM}" 2>/dev/null || true
  done
  echo "link ${ROBOT_NS}/${ROBOT_IF} ${ROBOT_IP} <-> ${REMOTE_NS}/${REMOTE_IF} ${REMOTE_IP}:" \
    "mtu 1500, tbf ${LINK_RATE} burst ${BURST_BYTES} B, queue ${QUEUE_BYTES} B each way;" \
    "in the namespaces net.core.rmem_max=$(ip netns exec "${ROBOT_NS}" sysctl -n \
      net.core.rmem_max) wmem_max=$(ip netns exec "${ROBOT_NS}" sysctl -n net.core.wmem_max)"
}

# tc_counts NS IF: "sent_bytes sent_packets dropped" of the interface's qdisc so far.
tc_counts() {
  tc -n "$1" -s qdisc show dev "$2" |
    sed -n 's/.*Sent \([0-9]*\) bytes \([0-9]*\) pkt (dropped \([0-9]*\),.*/\1 \2 \3/p' | head -n 1
}

# The UDP and IP counters of a namespace that tell losses apart (socket buffers, reassembly,
# fragmentation), absolute, one "name value" a line, sorted for join.
udp_counters() {
  ip netns exec "$1" nstat -asz 2>/dev/null |
    grep -E -e '^(Udp(In|Out)Datagrams|Udp(Rcvbuf|Sndbuf|In)Errors|IpReasm|IpFrag)' \
      -e '^(Ip(Out|In)Discards|IpExt(In|Out)McastOctets)' | awk '{print $1, $2}' | sort
}

profile_environment() {
  unset CYCLONEDDS_URI FASTRTPS_DEFAULT_PROFILES_FILE
  if [ "${PROFILES}" = on ]; then
    export CYCLONEDDS_URI="file://${SHARE}/config/cyclonedds.xml"
    export FASTRTPS_DEFAULT_PROFILES_FILE="${SHARE}/config/fastdds.xml"
    if [ -n "${PROFILE}" ]; then
      case "${MIDDLEWARE}" in
        rmw_cyclonedds_cpp) export CYCLONEDDS_URI="file://${PROFILE}" ;;
        *) export FASTRTPS_DEFAULT_PROFILES_FILE="${PROFILE}" ;;
      esac
    fi
  fi
}

# cpu_busy_percent: how busy all processors were over the next two seconds.
cpu_busy_percent() {
  local a b
  a="$(head -n 1 /proc/stat)"
  sleep 2
  b="$(head -n 1 /proc/stat)"
  awk -v a="${a}" -v b="${b}" 'BEGIN {
    split(a, x); split(b, y); total = 0; idle = 0
    for (k = 2; k <= 9; ++k) total += y[k] - x[k]
    idle = (y[5] - x[5]) + (y[6] - x[6])
    printf "%.0f", (total > 0 ? 100 * (total - idle) / total : 0) }'
}

# Other work on this machine (a build, say) takes the processors the node needs and shows in the
# figures as a slow link would: wait for it to end, up to QUIET_WAIT seconds, and say so.
wait_for_quiet_machine() {
  local busy waited=0
  busy="$(cpu_busy_percent)"
  while [ "${busy}" -gt 15 ] && [ "${waited}" -lt "${QUIET_WAIT}" ]; do
    [ "${waited}" -eq 0 ] && echo "machine ${busy}% busy before the run: waiting for quiet" \
      "(up to ${QUIET_WAIT} s): $(ps -eo pcpu,comm --sort=-pcpu --no-headers | head -n 3 | xargs)"
    sleep 8
    waited=$((waited + 10))
    busy="$(cpu_busy_percent)"
  done
  MACHINE_BUSY="${busy}"
  echo "machine ${busy}% busy before the run"
}

wait_for_file() {
  local file="$1" limit="$2"
  for _ in $(seq 1 $((limit * 5))); do
    [ -s "${file}" ] && return 0
    sleep 0.2
  done
  echo "no ${file} after ${limit} s" >&2
  return 1
}

# diagnose LABEL NODE_PID: what the sockets, the UDP counters and the node's threads look like
# in the second window, and where the node spends its time.
diagnose() {
  local label="$1" node="$2" out="${RESULTS}/$1.diagnose.txt"
  {
    echo "== sockets of ${ROBOT_NS} (ss -uamn)"
    ip netns exec "${ROBOT_NS}" ss -uamnp
    echo "== sockets of ${REMOTE_NS} (ss -uamn)"
    ip netns exec "${REMOTE_NS}" ss -uamnp
    echo "== qdiscs"
    tc -n "${ROBOT_NS}" -s qdisc show dev "${ROBOT_IF}"
    tc -n "${REMOTE_NS}" -s qdisc show dev "${REMOTE_IF}"
    echo "== the node's threads over 2 s: state and kernel wait channel of 40 samples, CPU ms"
    declare -A before
    local task tid
    for task in /proc/"${node}"/task/*; do
      before[${task##*/}]="$(awk '{print $14 + $15}' "${task}/stat" 2>/dev/null)"
    done
    for _ in $(seq 1 40); do
      for task in /proc/"${node}"/task/*; do
        echo "tid ${task##*/} $(cat "${task}/comm" 2>/dev/null)" \
          "$(awk '{print $3}' "${task}/stat" 2>/dev/null) $(cat "${task}/wchan" 2>/dev/null)"
      done
      sleep 0.05
    done | sort | uniq -c | sort -rn | head -n 60
    local ticks
    ticks="$(getconf CLK_TCK)"
    for task in /proc/"${node}"/task/*; do
      tid="${task##*/}"
      awk -v tid="${tid}" -v was="${before[${tid}]:-0}" -v ticks="${ticks}" \
        '{printf "tid %s cpu_ms %.0f\n", tid, ($14 + $15 - was) * 1000 / ticks}' "${task}/stat"
    done | sort -k4 -rn | head -n 12
  } > "${out}" 2>&1
  if command -v gdb >/dev/null; then
    # Where each thread of the node is, five times half a second apart (each stops it briefly).
    for _ in 1 2 3 4 5; do
      gdb -p "${node}" -batch -ex "thread apply all bt 16" 2>/dev/null | grep -E '^(Thread|#)'
      echo "--"
      sleep 0.5
    done > "${RESULTS}/${label}.stacks.txt" 2>&1 || true
  fi
  if command -v perf >/dev/null; then
    perf record -q -g -p "${node}" -o "${RESULTS}/${label}.perf.data" -- sleep 8 \
      > /dev/null 2>&1 || true
    perf report -q --stdio --no-children --sort comm,dso,symbol -i "${RESULTS}/${label}.perf.data" \
      2>/dev/null | grep -E '^ +[0-9]' | head -n 40 > "${RESULTS}/${label}.perf.txt" || true
  fi
}

# run_one REMOTE: one run at ${RATE} Hz over ${MIDDLEWARE}; its files are ${RESULTS}/LABEL.*.
run_one() {
  local remote="$1"
  local label="${MIDDLEWARE#rmw_}_${RATE}hz_${remote}"
  local base="${RESULTS}/${label}"
  rm -f "${base}".*
  wait_for_quiet_machine
  setup_link
  SHM_BEFORE="$(find /dev/shm -maxdepth 1 -name 'fastrtps_*' -printf '%f\n' 2>/dev/null || true)"
  export ROS_DOMAIN_ID=$((1 + RANDOM % 200)) RMW_IMPLEMENTATION="${MIDDLEWARE}" ROS_LOCALHOST_ONLY=0
  profile_environment
  local consumer_malloc="glibc.malloc.mmap_threshold=33554432"
  consumer_malloc+=":glibc.malloc.trim_threshold=1073741824:glibc.malloc.arena_max=1"

  # shellcheck disable=SC2086
  ip netns exec "${ROBOT_NS}" env -u GLIBC_TUNABLES ${NODE_ENV} \
    "${TOOLS}/camera_convertor_node" --ros-args \
    -p camera_02.color.converted_image.format:=png ${NODE_ARGS} > "${base}.node.log" 2>&1 &
  PIDS+=($!)
  local node=$!
  local windows_s=$((WARM_UP + 2 * SECONDS_PER_WINDOW + SETTLE))
  ip netns exec "${ROBOT_NS}" env GLIBC_TUNABLES="${consumer_malloc}" \
    "${TOOLS}/tavrinox_stream_benchmark_node" --ros-args \
    -p role:=bench -p label:="${label}" -p watch:="node:${node}" -p report:="${base}.txt" \
    -p width:="${WIDTH}" -p height:="${HEIGHT}" -p rate_hz:="${RATE}.0" \
    -p duration_s:="${SECONDS_PER_WINDOW}.0" -p warm_up_s:="${WARM_UP}.0" \
    -p noisy_depth:=true -p windows:=2 -p join_settle_s:="${SETTLE}.0" \
    -p join_marker:="${base}.join" -p outputs_csv:="${base}.local.csv" \
    -p link_interface:="${ROBOT_IF}" > "${base}.bench.log" 2>&1 &
  PIDS+=($!)

  wait_for_file "${base}.join" $((windows_s + 60))
  local tc_join_out tc_join_back
  tc_join_out="$(tc_counts "${ROBOT_NS}" "${ROBOT_IF}")"
  tc_join_back="$(tc_counts "${REMOTE_NS}" "${REMOTE_IF}")"
  udp_counters "${ROBOT_NS}" > "${base}.udp_robot_join.txt"
  udp_counters "${REMOTE_NS}" > "${base}.udp_remote_join.txt"
  if [ "${remote}" != none ]; then
    # A host of its own has a /dev/shm of its own: Fast DDS must not find the robot's segments.
    # Its processors are its own too; here they are the robot's, so it yields them, and decodes
    # the compressed messages (about 2 MB a set) only once the run is over.
    local defer=false
    [ "${remote}" != raw_reliable ] && [ "${remote}" != raw_best_effort ] && defer=true
    # shellcheck disable=SC2016
    ip netns exec "${REMOTE_NS}" env GLIBC_TUNABLES="${consumer_malloc}" nice -n 19 \
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
  local tc_end_out tc_end_back
  tc_end_out="$(tc_counts "${ROBOT_NS}" "${ROBOT_IF}")"
  tc_end_back="$(tc_counts "${REMOTE_NS}" "${REMOTE_IF}")"
  udp_counters "${ROBOT_NS}" > "${base}.udp_robot_end.txt"
  udp_counters "${REMOTE_NS}" > "${base}.udp_remote_end.txt"
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
    read -r sent_a packets_a dropped_a <<< "${tc_join_out}"
    read -r sent_b packets_b dropped_b <<< "${tc_end_out}"
    echo "qdisc robot_to_remote before_join sent_bytes=${sent_a} packets=${packets_a}" \
      "dropped=${dropped_a} after_join sent_bytes=$((sent_b - sent_a))" \
      "packets=$((packets_b - packets_a)) dropped=$((dropped_b - dropped_a))"
    read -r sent_a packets_a dropped_a <<< "${tc_join_back}"
    read -r sent_b packets_b dropped_b <<< "${tc_end_back}"
    echo "qdisc remote_to_robot before_join sent_bytes=${sent_a} packets=${packets_a}" \
      "dropped=${dropped_a} after_join sent_bytes=$((sent_b - sent_a))" \
      "packets=$((packets_b - packets_a)) dropped=$((dropped_b - dropped_a))"
    local side
    for side in robot remote; do
      # UDP and IP counters that moved after the join (receive buffer errors, reassembly).
      join "${base}.udp_${side}_join.txt" "${base}.udp_${side}_end.txt" |
        awk -v side="${side}" '{printf "udp_%s after_join %s=%.0f\n", side, $1, $3 - $2}'
    done
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

# first_match FILE SED-EXPRESSION: what the expression prints for the first line it matches.
first_match() {
  sed -n "$2" "$1" 2>/dev/null | head -n 1
}

# summary_row FILE-BASE: one table row of a run's reports.
summary_row() {
  local base="$1" label
  label="$(basename "${base}")"
  [[ "${label}" =~ ^(.*)_([0-9]+)hz_(.*)$ ]] || return 0
  local middleware="${BASH_REMATCH[1]}" rate="${BASH_REMATCH[2]}" remote="${BASH_REMATCH[3]}"
  local report="${base}.txt" link="${base}.link.txt"
  [ -f "${report}" ] || return 0
  local -A local_figures
  local window
  for window in first second; do
    local_figures[whole_${window}]="$(first_match "${report}" \
      "s/^window=${window} whole_sets=[0-9]* of [0-9]* (\(.*\)).*/\1/p")"
    local_figures[p50_${window}]="$(first_match "${report}" \
      "s/^window=${window} output=converted_cloud .* p50_ms=\([^ ]*\).*/\1/p")"
    local_figures[stamp_${window}]="$(first_match "${report}" \
      "s/^window=${window} output=converted_cloud .*stamp_p50_ms=\([^ ]*\).*/\1/p")"
    local_figures[cpu_${window}]="$(first_match "${report}" \
      "s/^window=${window} process=node .*cpu_ms_per_set=\([^ ]*\).*/\1/p")"
  done
  local remote_whole="-" remote_latency="-" decoded="-" of_raw="-" drops link_mb
  if grep -q '^remote_whole_sets=' "${link}" 2>/dev/null; then
    remote_whole="$(first_match "${link}" \
      's/^remote_whole_sets=\([0-9]*\) of \([0-9]*\) (\(.*\))/\3 (\1 of \2)/p')"
    remote_latency="$(first_match "${link}" \
      's/^remote_output=converted_cloud .*p50_ms=\([^ ]*\) .*p99_ms=\([^ ]*\) max.*/\1 \/ \2/p')"
    decoded="$(first_match "${link}" \
      's/^remote_decoded clouds_identical=\([0-9]*\) clouds_differing=\([0-9]*\).*/\1 \/ \2/p')"
    of_raw="$(sed -n 's/^remote_output=[a-z0-9]*_cloud .*of_raw=\([^ ]*\).*/\1/p' "${link}" |
      sort -g | tail -n 1)"
  fi
  drops="$(first_match "${link}" \
    's/^qdisc robot_to_remote .*after_join .*dropped=\([0-9]*\)$/\1/p')"
  link_mb="$(first_match "${report}" \
    's/^window=second link=[^ ]* tx_bytes_per_set=\([0-9]*\) .*/\1/p' |
    awk '{printf "%.2f", $1 / 1e6}')"
  echo "| ${middleware} | ${rate} Hz | ${remote} |" \
    "${local_figures[whole_first]} → ${local_figures[whole_second]} |" \
    "${local_figures[p50_first]} → ${local_figures[p50_second]} |" \
    "${local_figures[stamp_first]} → ${local_figures[stamp_second]} |" \
    "${local_figures[cpu_first]} → ${local_figures[cpu_second]} |" \
    "${remote_whole} | ${remote_latency} | ${link_mb} | ${drops:--} | ${of_raw} | ${decoded} |"
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
{
  echo "| middleware | rate | remote | local whole sets (alone → with remote)" \
    "| local converted p50 from publication, ms | local converted p50 from stamp, ms" \
    "| node CPU per set, ms | remote whole sets | remote converted p50 / p99 from stamp, ms" \
    "| link MB per set | qdisc drops to remote | remote cloud bytes of raw (largest)" \
    "| decoded clouds identical / differing |"
  echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|"
  for MIDDLEWARE in ${MIDDLEWARES}; do
    for RATE in ${RATES}; do
      for remote in ${REMOTES}; do
        summary_row "${RESULTS}/${MIDDLEWARE#rmw_}_${RATE}hz_${remote}"
      done
    done
  done
} | tee "${RESULTS}/summary.md"
