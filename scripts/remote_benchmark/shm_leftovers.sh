#!/usr/bin/env bash
# Fast DDS's shared memory files that a run leaves behind in /dev/shm when one of its processes
# is killed rather than ended. Sourced by run_remote_benchmark.sh.

SHM_BEFORE=""

# note_shm_files: the Fast DDS files there before the run, which are never this run's.
note_shm_files() {
  SHM_BEFORE="$(find /dev/shm -maxdepth 1 -name 'fastrtps_*' -printf '%f\n' 2>/dev/null || true)"
}

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
