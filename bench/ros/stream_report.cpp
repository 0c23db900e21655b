// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "stream_report.hpp"

#include <algorithm>
#include <array>
#include <chrono>
#include <cinttypes>
#include <cstddef>
#include <cstdio>
#include <optional>

#include "bad_sets.hpp"
#include "latency_summary.hpp"
#include "tavrinox_camera_convertor/pipeline/output_set.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

double seconds_of(const Window & window)
{
  return std::chrono::duration<double>(window.ended - window.started).count();
}

/// Latencies after the outputs' own stamps, for outputs that other hosts time the same way.
std::string stamp_latency(
  const StreamRecording & recording, const StreamPace & pace, std::size_t output,
  const SetRange & sets)
{
  if (!pace.stamp_latencies) {
    return "";
  }
  const OutputFigures figures = output_figures(recording.records, output, sets);
  char text[96];
  std::snprintf(
    text, sizeof text, " stamp_p50_ms=%.1f stamp_p99_ms=%.1f", figures.latency.p50,
    figures.latency.p99);
  return text;
}

}  // namespace

void report_outputs(
  const Window & window, const std::string & prefix, const StreamRecording & recording,
  const StreamPace & pace, std::ostream & text)
{
  const double publishing_s = window.sets.size() / pace.rate_hz;
  const auto & received_ns = recording.received_ns;
  std::uint32_t good_sets = 0;
  std::uint32_t whole = 0;
  std::uint32_t bad_sets = 0;
  std::uint32_t bad_as_expected = 0;
  std::array<std::vector<double>, 5> latencies;
  for (std::uint32_t frame_set = window.sets.first; frame_set < window.sets.end;
    ++frame_set)
  {
    OutputSet arrived;
    for (std::size_t k = 0; k < kOutputNames.size(); ++k) {
      if (received_ns[k][frame_set] >= 0) {
        arrived = arrived.with(static_cast<OutputKind>(k));
      }
    }
    if (const std::optional<BadSet> bad = bad_kind(frame_set, pace.bad_every)) {
      ++bad_sets;
      bad_as_expected += arrived == outputs_of_bad_set(*bad);
      continue;
    }
    ++good_sets;
    whole += arrived == OutputSet::all();
    for (std::size_t k = 0; k < kOutputNames.size(); ++k) {
      if (received_ns[k][frame_set] >= 0) {
        const std::int64_t latency_ns =
          received_ns[k][frame_set] - recording.published_ns[frame_set];
        latencies[k].push_back(static_cast<double>(latency_ns) / 1e6);
      }
    }
  }
  for (std::size_t k = 0; k < kOutputNames.size(); ++k) {
    const LatencySummary summary = summarize_latencies(latencies[k]);
    char line[512];
    std::snprintf(
      line, sizeof line,
      "%soutput=%s received=%zu delivered=%.1f%% p50_ms=%.1f p90_ms=%.1f p99_ms=%.1f "
      "max_ms=%.1f rate_hz=%.2f%s\n",
      prefix.c_str(), kOutputNames[k], latencies[k].size(),
      100.0 * latencies[k].size() / std::max(1u, good_sets),
      summary.p50, summary.p90, summary.p99, summary.max, latencies[k].size() / publishing_s,
      stamp_latency(recording, pace, k, window.sets).c_str());
    text << line;
  }
  char line[256];
  std::snprintf(
    line, sizeof line, "%swhole_sets=%u of %u (%.1f%%) untagged=%zu\n", prefix.c_str(), whole,
    good_sets, 100.0 * whole / std::max(1u, good_sets), recording.untagged);
  text << line;
  if (bad_sets > 0) {
    std::snprintf(
      line, sizeof line, "%sbad_sets=%u gave_what_they_should=%u\n", prefix.c_str(), bad_sets,
      bad_as_expected);
    text << line;
  }
}

void report_processes(
  const Window & window, const std::string & prefix,
  const std::vector<WatchedProcess> & processes, std::ostream & text)
{
  const double window_s = seconds_of(window);
  for (std::size_t k = 0; k < processes.size(); ++k) {
    const WatchedProcess & process = processes[k];
    const std::optional<ProcessUsage> & start = window.usage_at_start[k];
    const std::optional<ProcessUsage> & end = window.usage_at_end[k];
    if (!start || !end) {
      text << prefix << "process=" << process.name << " pid=" << process.pid << " gone\n";
      continue;
    }
    const double growth = process.resident_min_kib > 0 ?
      100.0 * (process.resident_max_kib - process.resident_min_kib) /
      process.resident_min_kib : 0.0;
    char line[512];
    std::snprintf(
      line, sizeof line,
      "%sprocess=%s pid=%d cpu_ms_per_set=%.2f rss_start_kib=%" PRId64 " rss_end_kib=%" PRId64
      " rss_min_kib=%" PRId64 " rss_max_kib=%" PRId64 " rss_spread=%.2f%% window_s=%.1f\n",
      prefix.c_str(), process.name.c_str(), static_cast<int>(process.pid),
      (end->cpu_ms - start->cpu_ms) / window.sets.size(), start->resident_kib,
      end->resident_kib, process.resident_min_kib, process.resident_max_kib, growth, window_s);
    text << line;
  }
}

void report_link(
  const Window & window, const std::string & prefix, const std::string & interface,
  std::ostream & text)
{
  if (!window.link_at_start || !window.link_at_end) {
    return;
  }
  const LinkCounters used = *window.link_at_end - *window.link_at_start;
  const double sets = window.sets.size();
  const double window_s = seconds_of(window);
  char line[512];
  std::snprintf(
    line, sizeof line,
    "%slink=%s tx_bytes_per_set=%.0f rx_bytes_per_set=%.0f tx_packets_per_set=%.1f "
    "rx_packets_per_set=%.1f tx_mbit_s=%.1f tx_dropped=%" PRIu64 " rx_dropped=%" PRIu64 "\n",
    prefix.c_str(), interface.c_str(), used.tx_bytes / sets, used.rx_bytes / sets,
    used.tx_packets / sets, used.rx_packets / sets,
    window_s > 0.0 ? 8.0 * used.tx_bytes / window_s / 1e6 : 0.0, used.tx_dropped,
    used.rx_dropped);
  text << line;
}

void report_subtopics(const Window & window, const std::string & prefix, std::ostream & text)
{
  for (std::size_t k = 0; k < kOutputNames.size(); ++k) {
    const auto & start = window.subtopics_at_start[k];
    const auto & end = window.subtopics_at_end[k];
    if (!end) {
      continue;
    }
    const SubtopicCounts before = start.value_or(SubtopicCounts{});
    const std::uint64_t sent = end->sent - before.sent;
    // The node gives a running mean; the window's own follows from the totals.
    const double busy_ms = end->ms_each * static_cast<double>(end->sent) -
      before.ms_each * static_cast<double>(before.sent);
    char line[256];
    std::snprintf(
      line, sizeof line,
      "%ssubtopics=%s sent=%" PRIu64 " skipped=%" PRIu64 " ms_each=%.1f\n", prefix.c_str(),
      kOutputNames[k], sent, end->skipped - before.skipped,
      sent > 0 ? busy_ms / static_cast<double>(sent) : 0.0);
    text << line;
  }
}

}  // namespace tavrinox_camera_convertor
