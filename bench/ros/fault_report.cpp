// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "fault_report.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <sstream>

#include "clock_ns.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

/// The sets of a stream's start counted on their own (sets numbered from 0, warm-up included).
constexpr std::uint32_t kFirstSets = 5;

std::string seconds_text(std::int64_t ns)
{
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", static_cast<double>(ns) / 1e9);
  return text;
}

/// What the converter reported while the images went out, and how long sending took: to tell
/// a converter that stopped from images that stopped reaching it.
std::string node_account(const FaultRun & run, const std::vector<NodeStatus> & statuses)
{
  std::array<double, kRateKeys.size()> lowest;
  lowest.fill(-1.0);
  std::size_t counted = 0;
  // A second after the first image, so that every rate covers a whole second of sending.
  for (const NodeStatus & status : statuses) {
    if (run.first_sent_ns < 0 || status.time_ns < run.first_sent_ns + 2 * kSecond ||
      status.time_ns > run.last_sent_ns)
    {
      continue;
    }
    ++counted;
    for (std::size_t k = 0; k < lowest.size(); ++k) {
      lowest[k] = lowest[k] < 0.0 ? status.rates[k] : std::min(lowest[k], status.rates[k]);
    }
  }
  const std::int64_t last_status = statuses.empty() ? -1 : statuses.back().time_ns;
  char line[320];
  std::snprintf(
    line, sizeof line,
    "node_statuses=%zu lowest_rates_hz=%.1f,%.1f,%.1f,%.1f lowest_sets_hz=%.1f "
    "last_status_after_last_image_s=%s longest_publish_ms=%.1f\n",
    counted, lowest[0], lowest[1], lowest[2], lowest[3], lowest[4],
    last_status < 0 ? "none" : seconds_text(last_status - run.last_sent_ns).c_str(),
    std::chrono::duration<double, std::milli>(run.longest_publish).count());
  return line;
}

}  // namespace

std::string fault_report(
  const std::string & label, const Faults & faults, const Plan & plan, const FaultRun & run,
  const ConverterAccount & converter)
{
  const FrameTally & counts = converter.frames;
  const std::vector<LogLine> & log = converter.log;
  std::ostringstream text;
  text << "fault " << label << ": scenario=" << faults.scenario << " max_set_interval=" <<
    run.max_set_interval_s <<
    " rate_hz=" << faults.rate_hz << " sets=" << faults.sets << " warm_up_sets=" <<
    faults.warm_up_sets << " seed=" << faults.seed << "\n";
  std::uint32_t whole_inputs = 0;
  std::uint32_t whole_published = 0;
  std::uint32_t lost_images = 0;
  // The first sets of a stream on their own: a start-up that loses them shows here.
  std::uint32_t first_whole = 0;
  std::uint32_t first_published = 0;
  std::string lost_sets;
  for (std::uint32_t frame_set = plan.first_measured; frame_set < plan.end_measured;
    ++frame_set)
  {
    const std::uint8_t sent = plan.sent[frame_set];
    lost_images += static_cast<std::uint32_t>(kInputs) -
      static_cast<std::uint32_t>(__builtin_popcount(sent));
    if (sent == 0x0f) {
      ++whole_inputs;
      whole_published += counts.published[frame_set];
      const bool first = frame_set < kFirstSets;
      first_whole += first;
      first_published += first && counts.published[frame_set];
      if (!counts.published[frame_set]) {
        lost_sets += (lost_sets.empty() ? "" : ",") + std::to_string(frame_set);
      }
    }
  }
  const double share = whole_inputs > 0 ? 100.0 * whole_published / whole_inputs : 0.0;
  const std::uint32_t mixed = counts.mixed_visible + counts.mixed_hidden;
  // A mixed frame either shows it (its outputs name different sets) or not: camera 2's
  // colour image of another set, which no output carries, stands in for a lost one.
  text << "mixed=" << mixed << " mixed_visible=" << counts.mixed_visible <<
    " mixed_camera_2_colour=" << counts.mixed_hidden << " frames=" << counts.frames <<
    " partial=" << counts.partial << "\n";
  char line[256];
  std::snprintf(
    line, sizeof line,
    "lost_images=%u whole_input_sets=%u published=%u published_share=%.1f%%\n",
    lost_images, whole_inputs, whole_published, share);
  text << line;
  text << "first_sets_whole=" << first_whole << " first_sets_published=" << first_published <<
    " lost_whole_sets=" << (lost_sets.empty() ? "none" : lost_sets) << "\n";

  const std::string & scenario = faults.scenario;
  std::string verdict;
  if (scenario == "loss" || scenario == "free_running") {
    const bool pass = mixed == 0 &&
      (scenario == "loss" ? share >= 99.0 : whole_published == whole_inputs);
    verdict = run.max_set_interval_s == 0.0 ? "INFO: the bound is off, no target" :
      std::string(pass ? "PASS" : "FAIL") + ": target 0 mixed and " +
      (scenario == "loss" ? ">= 99 %" : "every set") + " published";
  } else if (scenario == "clock_offset") {
    const std::optional<LogLine> warning =
      first_line(log, "WARN", "stamps differ by", run.first_sent_ns);
    const std::int64_t after = warning ? warning->time_ns - run.first_sent_ns : -1;
    text << "outputs=" << converter.outputs << " warn_after_s=" <<
      (warning ? seconds_text(after) : "none") << " warn=\"" <<
      (warning ? warning->text : "") << "\"\n";
    const bool pass = converter.outputs == 0 && warning && after <= 3 * kSecond;
    verdict = std::string(pass ? "PASS" : "FAIL") +
      ": target no output and the warning within 3 s";
  } else {
    const std::int64_t silent_from = run.start_system_ns + plan.silent_from_ns;
    const std::optional<LogLine> warning =
      first_line(log, "WARN", "camera 2 depth: no image for", silent_from);
    const std::optional<LogLine> resumed =
      first_line(log, "INFO", "Sets are paired again after", silent_from);
    const std::int64_t warn_after = warning ? warning->time_ns - silent_from : -1;
    const std::int64_t info_after =
      resumed && run.camera_2_back_ns >= 0 ? resumed->time_ns - run.camera_2_back_ns : -1;
    std::uint32_t after_return = 0;
    std::uint32_t lost_after_return = 0;
    // The last set waits for a later image to show that nothing better is coming.
    for (std::uint32_t set = run.camera_2_back_set; set + 1 < plan.sets; ++set) {
      ++after_return;
      lost_after_return += !counts.published[set];
    }
    std::size_t warnings = 0;
    for (const LogLine & entry : log) {
      warnings += entry.level == "WARN" && entry.time_ns >= silent_from;
    }
    const auto period = static_cast<std::int64_t>(1e9 / faults.rate_hz);
    text << "warn_after_s=" << (warning ? seconds_text(warn_after) : "none") << " warnings=" <<
      warnings << " warn=\"" << (warning ? warning->text : "") << "\"\n";
    text << "info_after_return_ms=" <<
      (resumed ? std::to_string(info_after / kMillisecond) : "none") << " info=\"" <<
      (resumed ? resumed->text : "") << "\"\n";
    text << "sets_after_return=" << after_return << " lost_after_return=" << lost_after_return <<
      "\n";
    const bool pass = warning && warn_after <= 3 * kSecond && resumed && info_after >= 0 &&
      info_after <= period && lost_after_return == 0 && mixed == 0;
    verdict = std::string(pass ? "PASS" : "FAIL") +
      ": target the warning within 3 s, the line on return within a frame, no set lost after";
  }
  text << node_account(run, converter.statuses) << verdict << "\n";
  return text.str();
}

}  // namespace tavrinox_camera_convertor
