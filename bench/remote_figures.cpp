// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "remote_figures.hpp"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <map>
#include <sstream>
#include <utility>

namespace tavrinox_camera_convertor
{
namespace
{

constexpr const char * kHeading = "set,output,stamp_ns,received_ns,bytes,hash";

/// The first record of each set of `range` for `output`; a repeated delivery counts once.
std::map<std::uint32_t, const OutputRecord *> by_set(
  const std::vector<OutputRecord> & records, std::size_t output, const SetRange & range)
{
  std::map<std::uint32_t, const OutputRecord *> sets;
  for (const OutputRecord & record : records) {
    if (record.output == output && range.contains(record.set)) {
      sets.emplace(record.set, &record);
    }
  }
  return sets;
}

}  // namespace

std::optional<std::size_t> output_index(const std::string & name)
{
  for (std::size_t k = 0; k < kOutputNames.size(); ++k) {
    if (name == kOutputNames[k]) {
      return k;
    }
  }
  return std::nullopt;
}

void write_output_records(std::ostream & out, const std::vector<OutputRecord> & records)
{
  out << kHeading << '\n';
  for (const OutputRecord & record : records) {
    char line[160];
    std::snprintf(
      line, sizeof line, "%" PRIu32 ",%s,%" PRId64 ",%" PRId64 ",%" PRIu64 ",%016" PRIx64 "\n",
      record.set, kOutputNames[record.output % kOutputNames.size()], record.stamp_ns,
      record.received_ns, record.bytes, record.hash);
    out << line;
  }
}

std::optional<OutputRecord> parse_output_record(const std::string & line)
{
  std::istringstream fields(line);
  std::string set, output, stamp, received, bytes, hash;
  if (!std::getline(fields, set, ',') || !std::getline(fields, output, ',') ||
    !std::getline(fields, stamp, ',') || !std::getline(fields, received, ',') ||
    !std::getline(fields, bytes, ',') || !std::getline(fields, hash))
  {
    return std::nullopt;
  }
  const std::optional<std::size_t> index = output_index(output);
  if (!index) {
    return std::nullopt;
  }
  try {
    std::size_t used = 0;
    OutputRecord record;
    const unsigned long long number = std::stoull(set, &used);  // NOLINT(runtime/int)
    if (used != set.size() || number > UINT32_MAX) {
      return std::nullopt;
    }
    record.set = static_cast<std::uint32_t>(number);
    record.output = static_cast<std::uint32_t>(*index);
    record.stamp_ns = std::stoll(stamp, &used);
    if (used != stamp.size()) {
      return std::nullopt;
    }
    record.received_ns = std::stoll(received, &used);
    if (used != received.size()) {
      return std::nullopt;
    }
    record.bytes = std::stoull(bytes, &used);
    if (used != bytes.size()) {
      return std::nullopt;
    }
    record.hash = std::stoull(hash, &used, 16);
    if (used != hash.size()) {
      return std::nullopt;
    }
    return record;
  } catch (const std::exception &) {
    return std::nullopt;
  }
}

std::vector<OutputRecord> read_output_records(std::istream & in)
{
  std::vector<OutputRecord> records;
  std::string line;
  while (std::getline(in, line)) {
    if (const std::optional<OutputRecord> record = parse_output_record(line)) {
      records.push_back(*record);
    }
  }
  return records;
}

OutputFigures output_figures(
  const std::vector<OutputRecord> & records, std::size_t output, const SetRange & range)
{
  const auto sets = by_set(records, output, range);
  OutputFigures figures;
  figures.received = sets.size();
  std::vector<double> latencies;
  double bytes = 0.0;
  for (const auto & [set, record] : sets) {
    latencies.push_back(static_cast<double>(record->received_ns - record->stamp_ns) / 1e6);
    bytes += static_cast<double>(record->bytes);
  }
  figures.latency = summarize_latencies(std::move(latencies));
  figures.mean_bytes = sets.empty() ? 0.0 : bytes / static_cast<double>(sets.size());
  return figures;
}

std::size_t whole_sets(
  const std::vector<OutputRecord> & records, const std::vector<std::size_t> & outputs,
  const SetRange & range)
{
  std::map<std::uint32_t, std::size_t> arrived;
  for (const std::size_t output : outputs) {
    for (const auto & entry : by_set(records, output, range)) {
      ++arrived[entry.first];
    }
  }
  return static_cast<std::size_t>(
    std::count_if(
      arrived.begin(), arrived.end(), [&outputs](const auto & entry) {
        return entry.second == outputs.size();
      }));
}

HashComparison compare_with_reference(
  const std::vector<OutputRecord> & reference, const std::vector<OutputRecord> & records,
  std::size_t output, const SetRange & range)
{
  const auto expected = by_set(reference, output, range);
  HashComparison comparison;
  for (const auto & [set, record] : by_set(records, output, range)) {
    const auto found = expected.find(set);
    if (found == expected.end()) {
      ++comparison.unchecked;
    } else if (found->second->hash == record->hash) {
      ++comparison.identical;
    } else {
      ++comparison.differing;
    }
  }
  return comparison;
}

std::optional<SubtopicCounts> parse_subtopic_counts(const std::string & text)
{
  unsigned long long sent = 0;  // NOLINT(runtime/int)
  unsigned long long skipped = 0;  // NOLINT(runtime/int)
  double ms_each = 0.0;
  int end = 0;
  if (std::sscanf(
      text.c_str(), "%llu frames sent, %lf ms each, %llu skipped for newer frames%n", &sent,
      &ms_each, &skipped, &end) != 3 || static_cast<std::size_t>(end) != text.size())
  {
    return std::nullopt;
  }
  return SubtopicCounts{sent, ms_each, skipped};
}

}  // namespace tavrinox_camera_convertor
