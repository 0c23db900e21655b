#!/usr/bin/env bash
# Other work on this machine (a build, say) takes the processors the node needs and shows in the
# figures as a slow link would: the two-host benchmark waits for it to end, up to QUIET_WAIT
# seconds, and says how busy the machine was in MACHINE_BUSY. Sourced by run_remote_benchmark.sh.

MACHINE_BUSY=0

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
  # shellcheck disable=SC2034  # for the run's report
  MACHINE_BUSY="${busy}"
  echo "machine ${busy}% busy before the run"
}
