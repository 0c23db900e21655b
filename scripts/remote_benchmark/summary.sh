#!/usr/bin/env bash
# The two-host benchmark's summary: a table row per run, from the local consumer's report
# (BASE.txt) and the link's (BASE.link.txt). Sourced by run_remote_benchmark.sh.

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
  local remote_whole="-" remote_latency="-" decoded="-" of_raw="-" remote_cpu="-" drops link_mb
  if grep -q '^remote_whole_sets=' "${link}" 2>/dev/null; then
    remote_whole="$(first_match "${link}" \
      's/^remote_whole_sets=\([0-9]*\) of \([0-9]*\) (\(.*\))/\3 (\1 of \2)/p')"
    remote_latency="$(first_match "${link}" \
      's/^remote_output=converted_cloud .*p50_ms=\([^ ]*\) .*p99_ms=\([^ ]*\) max.*/\1 \/ \2/p')"
    decoded="$(first_match "${link}" \
      's/^remote_decoded clouds_identical=\([0-9]*\) clouds_differing=\([0-9]*\).*/\1 \/ \2/p')"
    of_raw="$(sed -n 's/^remote_output=[a-z0-9]*_cloud .*of_raw=\([^ ]*\).*/\1/p' "${link}" |
      sort -g | tail -n 1)"
    # The remote takes all five outputs: five messages a set.
    remote_cpu="$(first_match "${link}" \
      's/^remote_process .*cpu_ms_per_message=\([^ ]*\) .*/\1/p' | awk '{printf "%.1f", 5 * $1}')"
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
    "${local_figures[cpu_first]} → ${local_figures[cpu_second]}$(cpu_ratio \
      "${local_figures[cpu_first]}" "${local_figures[cpu_second]}") |" \
    "${remote_whole} | ${remote_latency} | ${remote_cpu} | ${link_mb} | ${drops:--} |" \
    "${of_raw} | ${decoded} |"
}

# cpu_ratio ALONE WITH: " (x1.23)", the node's CPU per set with the remote over without it.
cpu_ratio() {
  awk -v alone="$1" -v with="$2" 'BEGIN {
    if (alone + 0 > 0 && with + 0 > 0) printf " (x%.2f)", with / alone }'
}

# summary_table: the table of every run of MIDDLEWARES x RATES x REMOTES in RESULTS, in Markdown.
summary_table() {
  echo "| middleware | rate | remote | local whole sets (alone → with remote)" \
    "| local converted p50 from publication, ms | local converted p50 from stamp, ms" \
    "| node CPU per set, ms | remote whole sets | remote converted p50 / p99 from stamp, ms" \
    "| remote decode CPU per set, ms | link MB per set | qdisc drops to remote" \
    "| remote cloud bytes of raw (largest) | decoded clouds identical / differing |"
  echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|"
  local middleware rate remote
  for middleware in ${MIDDLEWARES}; do
    for rate in ${RATES}; do
      for remote in ${REMOTES}; do
        summary_row "${RESULTS}/${middleware#rmw_}_${rate}hz_${remote}"
      done
    done
  done
}
