#!/usr/bin/env bash
# The converter through ROS 2 when cameras misbehave: a stand-in for both cameras streams tagged
# frame sets with injected faults to the converter (camera_convertor_node in its own process with
# the package's DDS profile), and reads from the tags in its outputs and from its log what came
# of them. Scenarios:
#   loss            10 % of each stream's images lost at random: mixed sets published (target 0)
#                   and the share of the sets with all four images that was published (>= 99 %)
#   loss_unbounded  the same with max_set_interval:=0, the behaviour before the bound
#   free_running    camera 2 0, 20 and 40 % of a period behind, stamps +-2 ms, images up to 40 ms
#                   late: every set published, none mixed
#   clock_offset    camera 2's stamps 12 s ahead: no output, the warning naming it within 3 s
#   silence         camera 2 silent for 5 s: the warning naming it within 3 s, the line saying
#                   sets are paired again within a frame of its return, no set lost after it
#   start_up        the first sets of a stream, with no whole sets sent first: camera 2 35 ms
#                   behind with +-2 ms stamps, 10 % of images lost, camera 2 silent for 5 s;
#                   each --start-up-runs times with its own seed: the first five sets counted on
#                   their own (target: none lost), every whole set published, none mixed
# Usage: run_fault_benchmark.sh [--rmw "rmw_cyclonedds_cpp rmw_fastrtps_cpp"]
#                               [--scenarios "loss loss_unbounded free_running clock_offset
#                                             silence start_up"]
#                               [--size 640x480] [--rate 10] [--loss-sets 300] [--seed 1]
#                               [--start-up-runs 20]
#                               [--no-build]   (use the installed package as it is)
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

MIDDLEWARES="rmw_cyclonedds_cpp rmw_fastrtps_cpp"
SCENARIOS="loss loss_unbounded free_running clock_offset silence start_up"
SIZE="640x480"
RATE=10
LOSS_SETS=300
SEED=1
START_UP_RUNS=20
BUILD=1
while [ $# -gt 0 ]; do
  case "$1" in
    --rmw) MIDDLEWARES="$2"; shift 2 ;;
    --scenarios) SCENARIOS="$2"; shift 2 ;;
    --size) SIZE="$2"; shift 2 ;;
    --rate) RATE="$2"; shift 2 ;;
    --loss-sets) LOSS_SETS="$2"; shift 2 ;;
    --seed) SEED="$2"; shift 2 ;;
    --start-up-runs) START_UP_RUNS="$2"; shift 2 ;;
    --no-build) BUILD=0; shift ;;
    *) echo "unknown option $1 (see the usage at the top of $0)" >&2; exit 2 ;;
  esac
done
parse_size "${SIZE}" 640x480

use_installed_package "${BUILD}"

NODE="${PREFIX}/lib/tavrinox_camera_convertor/camera_convertor_node"
# The benchmark's own process: sending and receiving in parallel.
CONTAINER="$(ros2 pkg prefix rclcpp_components)/lib/rclcpp_components/component_container_mt"
RESULTS="${BUILD_ROOT}/fault_benchmark"
mkdir -p "${RESULTS}"
# Loopback only; the node's log lines as they are written, with their times, without colour.
export ROS_LOCALHOST_ONLY=1 RCUTILS_LOGGING_BUFFERED_STREAM=0 RCUTILS_COLORIZED_OUTPUT=0
# Every process that exchanges the outputs uses the package's profile.
use_dds_profiles

step "Kernel socket buffers"
raise_receive_buffers "the buffers"

PIDS=()
# stop_all (common.sh) ends them.
trap 'stop_all' EXIT

# load_benchmark ARGS...: loads the benchmark into the running container.
load_benchmark() {
  load_component --as "the fault benchmark" /ComponentManager \
    tavrinox_camera_convertor::FaultBenchmark "$@"
}

# run_case MIDDLEWARE LABEL SECONDS NODE_BOUND [BENCHMARK PARAMETERS...]: one run against a fresh
# node; its report ends up in ${RESULTS}/MIDDLEWARE/LABEL.txt, the node's log beside it.
run_case() {
  local middleware="$1" label="$2" seconds="$3" bound="$4"
  shift 4
  local dir="${RESULTS}/${middleware}"
  mkdir -p "${dir}"
  local report="${dir}/${label}.txt" log="${dir}/${label}.node.log"
  rm -f "${report}"
  export RMW_IMPLEMENTATION="${middleware}" ROS_DOMAIN_ID=$((1 + RANDOM % 200))
  "${NODE}" --ros-args -p max_set_interval:="${bound}" > "${log}" 2>&1 &
  PIDS+=($!)
  # The allocator settings of consumers of large messages (common.sh).
  GLIBC_TUNABLES="${CONSUMER_MALLOC}" "${CONTAINER}" > "${dir}/${label}.bench.log" 2>&1 &
  PIDS+=($!)
  sleep 2
  load_benchmark -p label:="${label}" -p report:="${report}" -p node_log:="${log}" \
    -p width:="${WIDTH}" -p height:="${HEIGHT}" -p rate_hz:="${RATE}.0" -p seed:="${SEED}" \
    -p max_set_interval:="${bound}.0" "$@"
  wait_for_file "${report}" $((seconds + 120)) report
  stop_all
  cat "${report}"
}

for middleware in ${MIDDLEWARES}; do
  # The summary is of this run only.
  rm -rf "${RESULTS:?}/${middleware}"
  for scenario in ${SCENARIOS}; do
    case "${scenario}" in
      loss)
        step "loss, ${LOSS_SETS} sets, ${middleware}"
        run_case "${middleware}" loss $((LOSS_SETS / RATE)) -1 \
          -p scenario:=loss -p sets:="${LOSS_SETS}" ;;
      loss_unbounded)
        step "loss with max_set_interval:=0, ${LOSS_SETS} sets, ${middleware}"
        run_case "${middleware}" loss_unbounded $((LOSS_SETS / RATE)) 0 \
          -p scenario:=loss -p sets:="${LOSS_SETS}" ;;
      free_running)
        for percent in 0 20 40; do
          step "free_running, camera 2 ${percent} % of a period behind, ${middleware}"
          run_case "${middleware}" "free_running_${percent}" 20 -1 \
            -p scenario:=free_running -p sets:=$((20 * RATE)) \
            -p camera_2_offset:="$(printf '0.%02d' "${percent}")"
        done ;;
      clock_offset)
        step "clock_offset, camera 2 12 s ahead, ${middleware}"
        run_case "${middleware}" clock_offset 6 -1 \
          -p scenario:=clock_offset -p sets:=$((6 * RATE)) ;;
      silence)
        step "silence, camera 2 silent for 5 s, ${middleware}"
        run_case "${middleware}" silence 12 -1 -p scenario:=silence -p sets:=$((12 * RATE)) ;;
      start_up)
        for run in $(seq 1 "${START_UP_RUNS}"); do
          step "start_up run ${run} of ${START_UP_RUNS}, ${middleware}"
          # Each run its own seed: the images lost and the jitter differ from run to run.
          run_case "${middleware}" "start_up_free_running_${run}" 3 -1 -p warm_up_s:=0.0 \
            -p scenario:=free_running -p sets:=$((3 * RATE)) -p camera_2_offset:=0.35 \
            -p seed:="${run}"
          run_case "${middleware}" "start_up_loss_${run}" 3 -1 -p warm_up_s:=0.0 \
            -p scenario:=loss -p sets:=$((3 * RATE)) -p seed:="${run}"
          run_case "${middleware}" "start_up_silence_${run}" 10 -1 -p warm_up_s:=0.0 \
            -p scenario:=silence -p sets:=$((10 * RATE)) -p seed:="${run}"
        done ;;
      *) echo "unknown scenario ${scenario}" >&2; exit 2 ;;
    esac
  done
done

step "Summary (${RESULTS})"
# field KEY REPORT: the value of KEY=value in the report, or "-".
field() {
  local value
  value="$(grep -oE "(^| )$1=[^ ]*" "$2" | head -n 1 | cut -d= -f2 || true)"
  echo "${value:--}"
}
echo "| middleware | run | mixed sets published | whole-input sets published | outputs |" \
  "warning after (s) | INFO after return (ms) | sets lost after return | verdict |"
echo "|---|---|---|---|---|---|---|---|---|"
for middleware in ${MIDDLEWARES}; do
  for report in "${RESULTS}/${middleware}"/*.txt; do
    [ -f "${report}" ] || continue
    case "$(basename "${report}")" in start_up_*) continue ;; esac
    published="$(field published "${report}") of $(field whole_input_sets "${report}")"
    published+=" ($(field published_share "${report}"))"
    echo "| ${middleware} | $(basename "${report}" .txt) | $(field mixed "${report}") |" \
      "${published} | $(field outputs "${report}") | $(field warn_after_s "${report}") |" \
      "$(field info_after_return_ms "${report}") | $(field lost_after_return "${report}") |" \
      "$(grep -oE '^(PASS|FAIL|INFO)' "${report}" || true) |"
  done
done

# The start-up runs, summed per scenario: the first five sets of each run on their own.
echo ""
echo "| middleware | start-up scenario | runs | first five: whole / published | whole sets" \
  "published | mixed | runs losing a first set |"
echo "|---|---|---|---|---|---|---|"
for middleware in ${MIDDLEWARES}; do
  for scenario in free_running loss silence; do
    runs=0 first_whole=0 first_published=0 whole=0 published=0 mixed=0 losing=0
    for report in "${RESULTS}/${middleware}/start_up_${scenario}"_*.txt; do
      [ -f "${report}" ] || continue
      runs=$((runs + 1))
      first_whole=$((first_whole + $(field first_sets_whole "${report}")))
      first_published=$((first_published + $(field first_sets_published "${report}")))
      whole=$((whole + $(field whole_input_sets "${report}")))
      published=$((published + $(field published "${report}")))
      mixed=$((mixed + $(field mixed "${report}")))
      [ "$(field first_sets_whole "${report}")" = "$(field first_sets_published "${report}")" ] ||
        losing=$((losing + 1))
    done
    [ "${runs}" -gt 0 ] || continue
    echo "| ${middleware} | ${scenario} | ${runs} | ${first_whole} / ${first_published} |" \
      "${published} of ${whole} | ${mixed} | ${losing} |"
  done
done
