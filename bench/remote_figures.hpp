// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// What the consumers of the converter's outputs on two hosts saw, set by set, and the figures
// the two-host benchmark reports from it: deliveries, latencies from the outputs' stamps, bytes,
// and whether what a remote consumer decoded is what the local one received raw.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "latency_summary.hpp"

namespace tavrinox_camera_convertor
{

/// The outputs in OutputKind order, as reports and record files name them.
inline constexpr std::array<const char *, 5> kOutputNames = {
  "cam1_cloud", "cam2_cloud", "depth_image", "color_image", "converted_cloud"};

/// @brief The OutputKind index of an output named as kOutputNames does, if it is one.
std::optional<std::size_t> output_index(const std::string & name);

/// One output of one frame set as a consumer received it.
struct OutputRecord
{
  std::uint32_t set = 0;  // NOLINT(build/include_what_you_use): a frame set's number
  std::uint32_t output = 0;       ///< OutputKind index
  std::int64_t stamp_ns = 0;      ///< the message's header stamp, system clock
  std::int64_t received_ns = 0;   ///< system clock when it arrived
  std::uint64_t bytes = 0;        ///< payload bytes as the message travelled
  std::uint64_t hash = 0;         ///< hash_bytes() of the data, decoded if it travelled encoded
};

/// @brief Writes `records` as CSV with a heading line.
void write_output_records(std::ostream & out, const std::vector<OutputRecord> & records);

/// @brief The records of a file write_output_records() wrote; lines it cannot read are skipped.
std::vector<OutputRecord> read_output_records(std::istream & in);

/// @brief One CSV line of write_output_records(), if `line` is one.
std::optional<OutputRecord> parse_output_record(const std::string & line);

/// Frame sets `first` up to, not including, `end`.
struct SetRange
{
  std::uint32_t first = 0;
  std::uint32_t end = 0;

  std::uint32_t size() const {return end > first ? end - first : 0;}
  bool contains(std::uint32_t frame_set) const {return frame_set >= first && frame_set < end;}
};

/// One output's deliveries within a range of sets.
struct OutputFigures
{
  std::size_t received = 0;        ///< sets of the range the output arrived for
  LatencySummary latency;          ///< arrival after the header stamp, milliseconds
  double mean_bytes = 0.0;         ///< per message as it travelled
};

/// @brief The figures of output `output` over the sets of `range`; a set counted once.
OutputFigures output_figures(
  const std::vector<OutputRecord> & records, std::size_t output, const SetRange & range);

/// @brief The sets of `range` for which every output in `outputs` arrived.
std::size_t whole_sets(
  const std::vector<OutputRecord> & records, const std::vector<std::size_t> & outputs,
  const SetRange & range);

/// How an output's data compares with what a reference consumer received of the same sets.
struct HashComparison
{
  std::size_t identical = 0;
  std::size_t differing = 0;
  std::size_t unchecked = 0;   ///< the reference did not receive that set's output
};

/// @brief Compares output `output` of every set of `range` in `records` with `reference`.
HashComparison compare_with_reference(
  const std::vector<OutputRecord> & reference, const std::vector<OutputRecord> & records,
  std::size_t output, const SetRange & range);

/// What the node's diagnostics say one output's compressed subtopics have done so far.
struct SubtopicCounts
{
  std::uint64_t sent = 0;
  double ms_each = 0.0;
  std::uint64_t skipped = 0;
};

/**
 * @brief The counts in a diagnostics value such as
 *        "12 frames sent, 3.4 ms each, 5 skipped for newer frames", if `text` is one.
 */
std::optional<SubtopicCounts> parse_subtopic_counts(const std::string & text);

}  // namespace tavrinox_camera_convertor
