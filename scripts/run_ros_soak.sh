#!/usr/bin/env bash
# The node over real ROS 2 for a long time: 1280 x 720 sets at 10 Hz through camera_convertor_node
# with the package's Cyclone DDS profile, every 20th set a bad one of five kinds (refused depth,
# failing colour), one consumer of all five outputs. Passes when every good set arrives whole,
# every bad set gives exactly what it should, the node runs throughout and its resident memory
# stays within 2 % after a warm-up of 60 s, in which the middleware's sample pools and the heap
# reach their working size (the memory timeline next to the report shows them do it).
# Usage: run_ros_soak.sh [SECONDS] [MIDDLEWARE]   (default 1800 rmw_cyclonedds_cpp)
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
duration="${1:-1800}"
middleware="${2:-rmw_cyclonedds_cpp}"
"${REPO_ROOT}/scripts/run_stream_benchmark.sh" --setups profile --rates 10 --seconds "${duration}" \
  --bad-every 20 --warm-up 60 --rmw "${middleware}"
report="${BUILD_ROOT}/stream_benchmark/profile_10hz.txt"

step "Verdict"
failures=0
whole="$(sed -n 's/^whole_sets=\([0-9]*\) of \([0-9]*\).*/\1 \2/p' "${report}")"
read -r delivered good <<< "${whole}"
[ "${delivered}" = "${good}" ] || { echo "FAIL: ${delivered} of ${good} good sets arrived whole"; failures=1; }
bad="$(sed -n 's/^bad_sets=\([0-9]*\) gave_what_they_should=\([0-9]*\).*/\1 \2/p' "${report}")"
read -r bad_sets bad_right <<< "${bad}"
[ "${bad_sets}" = "${bad_right}" ] || { echo "FAIL: ${bad_right} of ${bad_sets} bad sets gave what they should"; failures=1; }
grep -q '^process=node .* gone' "${report}" && { echo "FAIL: the node was gone at the end"; failures=1; }
spread="$(sed -n 's/^process=node .*rss_spread=\([0-9.]*\)%.*/\1/p' "${report}")"
awk -v s="${spread}" 'BEGIN { exit !(s <= 2.0) }' || { echo "FAIL: resident memory spread ${spread} % (limit 2 %)"; failures=1; }
if [ "${failures}" -ne 0 ]; then
  exit 1
fi
echo "PASS: ${good} good sets whole, ${bad_sets} bad sets as they should be, node memory within ${spread} %"
