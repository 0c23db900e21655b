#!/usr/bin/env bash
# With --diagnose, the two-host benchmark's look inside the second window, next to its report:
# sockets, qdiscs, the node's threads and where the node spends its time. Sourced by
# run_remote_benchmark.sh.

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
