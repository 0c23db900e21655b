#!/usr/bin/env bash
# The two-host benchmark's link: network namespaces ROBOT_NS and REMOTE_NS joined by a veth pair
# (ROBOT_IF with ROBOT_IP, REMOTE_IF with REMOTE_IP) shaped like a LAN link at LINK_RATE, and
# the counters that tell what it carried and lost. Sourced by run_remote_benchmark.sh, which
# sets those names and the shaping (BURST_BYTES, QUEUE_BYTES, WANTED_RMEM, WANTED_WMEM).

LINK_UP=0
# What the qdiscs had sent by a moment of the run, "sent_bytes sent_packets dropped", by
# "<moment>_out" (robot to remote) and "<moment>_back".
declare -A QDISC_COUNTS=()

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

# remove_link: the namespaces, with whatever still runs in them, if this run made them.
remove_link() {
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

# note_link_counters BASE MOMENT: both qdiscs' counts now into QDISC_COUNTS, both namespaces'
# UDP counters into BASE.udp_robot_MOMENT.txt and BASE.udp_remote_MOMENT.txt.
note_link_counters() {
  local base="$1" moment="$2"
  QDISC_COUNTS[${moment}_out]="$(tc_counts "${ROBOT_NS}" "${ROBOT_IF}")"
  QDISC_COUNTS[${moment}_back]="$(tc_counts "${REMOTE_NS}" "${REMOTE_IF}")"
  udp_counters "${ROBOT_NS}" > "${base}.udp_robot_${moment}.txt"
  udp_counters "${REMOTE_NS}" > "${base}.udp_remote_${moment}.txt"
}

# link_counts_after_join BASE: a line per qdisc with what it sent before the remote consumer
# joined and after, then the UDP and IP counters that moved after the join (receive buffer
# errors, reassembly), from what note_link_counters noted at "join" and "end".
link_counts_after_join() {
  local base="$1" way name sent_a packets_a dropped_a sent_b packets_b dropped_b
  for way in "out robot_to_remote" "back remote_to_robot"; do
    read -r way name <<< "${way}"
    read -r sent_a packets_a dropped_a <<< "${QDISC_COUNTS[join_${way}]}"
    read -r sent_b packets_b dropped_b <<< "${QDISC_COUNTS[end_${way}]}"
    echo "qdisc ${name} before_join sent_bytes=${sent_a} packets=${packets_a}" \
      "dropped=${dropped_a} after_join sent_bytes=$((sent_b - sent_a))" \
      "packets=$((packets_b - packets_a)) dropped=$((dropped_b - dropped_a))"
  done
  local side
  for side in robot remote; do
    join "${base}.udp_${side}_join.txt" "${base}.udp_${side}_end.txt" |
      awk -v side="${side}" '{printf "udp_%s after_join %s=%.0f\n", side, $1, $3 - $2}'
  done
}
