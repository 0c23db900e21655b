// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The two-host benchmark's figures: the data hash, the link counters, the per-set records of
// both consumers and what is reported from them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "data_hash.hpp"
#include "link_counters.hpp"
#include "remote_figures.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

std::uint64_t hash_of(const std::string & text)
{
  return hash_bytes(reinterpret_cast<const std::uint8_t *>(text.data()), text.size());
}

TEST(DataHash, IsXxh64WithSeedZero)
{
  // Published XXH64 values: every branch (no stripe, stripes, 8-, 4- and 1-byte tails) is used.
  EXPECT_EQ(hash_of(""), 0xEF46DB3751D8E999ULL);
  EXPECT_EQ(hash_of("abc"), 0x44BC2CF5AD770999ULL);
  EXPECT_EQ(hash_of("Nobody inspects the spammish repetition"), 0xFBCEA83C8A378BF1ULL);
}

TEST(DataHash, SeesEveryBitAndIgnoresAlignment)
{
  std::vector<std::uint8_t> data(16 * 1000 + 13);
  for (std::size_t k = 0; k < data.size(); ++k) {
    data[k] = static_cast<std::uint8_t>(k * 37 + 11);
  }
  const std::uint64_t whole = hash_bytes(data.data(), data.size());
  // The same bytes one address further on.
  std::vector<std::uint8_t> shifted(data.size() + 1);
  std::memcpy(shifted.data() + 1, data.data(), data.size());
  EXPECT_EQ(hash_bytes(shifted.data() + 1, data.size()), whole);
  // One flipped bit anywhere, in a stripe or in the tail, and one byte fewer, all differ.
  for (const std::size_t at : {std::size_t{0}, std::size_t{5000}, data.size() - 1}) {
    data[at] ^= 0x10;
    EXPECT_NE(hash_bytes(data.data(), data.size()), whole) << at;
    data[at] ^= 0x10;
  }
  EXPECT_NE(hash_bytes(data.data(), data.size() - 1), whole);
}

constexpr const char * kProcNetDev =
  "Inter-|   Receive                                                |  Transmit\n"
  " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets errs "
  "drop fifo colls carrier compressed\n"
  "    lo: 1000 10 0 0 0 0 0 0 1000 10 0 0 0 0 0 0\n"
  "tvx_robot0: 5120 40 0 2 0 0 0 3 987654321012 700000 0 7 0 0 0 0\n";

TEST(LinkCounters, ReadsTheInterfacesLineOfProcNetDev)
{
  const auto counters = parse_link_counters(kProcNetDev, "tvx_robot0");
  ASSERT_TRUE(counters.has_value());
  EXPECT_EQ(counters->rx_bytes, 5120u);
  EXPECT_EQ(counters->rx_packets, 40u);
  EXPECT_EQ(counters->rx_dropped, 2u);
  EXPECT_EQ(counters->tx_bytes, 987654321012u);
  EXPECT_EQ(counters->tx_packets, 700000u);
  EXPECT_EQ(counters->tx_dropped, 7u);
  // A name that is only the start of another one's, or missing, is not found.
  EXPECT_FALSE(parse_link_counters(kProcNetDev, "tvx_robot").has_value());
  EXPECT_FALSE(parse_link_counters(kProcNetDev, "eth0").has_value());
  EXPECT_FALSE(parse_link_counters("  eth0: 1 2 3\n", "eth0").has_value());
  const LinkCounters later = *counters;
  LinkCounters earlier = later;
  earlier.tx_bytes -= 300;
  earlier.rx_dropped = 0;
  const LinkCounters difference = later - earlier;
  EXPECT_EQ(difference.tx_bytes, 300u);
  EXPECT_EQ(difference.rx_dropped, 2u);
  EXPECT_EQ(difference.rx_bytes, 0u);
}

TEST(LinkCounters, ThisProcessSeesItsLoopback)
{
  EXPECT_TRUE(read_link_counters("lo").has_value());
}

OutputRecord record(
  std::uint32_t set, std::size_t output, double latency_ms, std::uint64_t hash,
  std::uint64_t bytes = 100)
{
  OutputRecord made;
  made.set = set;
  made.output = static_cast<std::uint32_t>(output);
  made.stamp_ns = 1700000000000000000LL + set * 100000000LL;
  made.received_ns = made.stamp_ns + static_cast<std::int64_t>(latency_ms * 1e6);
  made.bytes = bytes;
  made.hash = hash;
  return made;
}

TEST(OutputRecords, RoundTripThroughTheirFileAndRefuseOtherLines)
{
  const std::vector<OutputRecord> records = {
    record(7, 0, 12.5, 0xFEDCBA9876543210ULL, 14745600), record(8, 4, 30.0, 0x1, 3)};
  std::stringstream file;
  write_output_records(file, records);
  const std::string text = file.str();
  EXPECT_EQ(text.substr(0, text.find('\n')), "set,output,stamp_ns,received_ns,bytes,hash");
  EXPECT_NE(text.find(",cam1_cloud,"), std::string::npos);
  const std::vector<OutputRecord> back = read_output_records(file);
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].set, 7u);
  EXPECT_EQ(back[0].output, 0u);
  EXPECT_EQ(back[0].stamp_ns, records[0].stamp_ns);
  EXPECT_EQ(back[0].received_ns, records[0].received_ns);
  EXPECT_EQ(back[0].bytes, 14745600u);
  EXPECT_EQ(back[0].hash, 0xFEDCBA9876543210ULL);
  EXPECT_EQ(back[1].output, 4u);
  EXPECT_FALSE(parse_output_record("1,no_such_output,1,2,3,ff").has_value());
  EXPECT_FALSE(parse_output_record("1,cam1_cloud,1,2,3").has_value());
  EXPECT_FALSE(parse_output_record("1x,cam1_cloud,1,2,3,ff").has_value());
  EXPECT_FALSE(parse_output_record("1,cam1_cloud,1,2,3,fz").has_value());
  EXPECT_FALSE(parse_output_record("4294967296,cam1_cloud,1,2,3,ff").has_value());
}

TEST(OutputFigures, CountEachSetOfTheRangeOnce)
{
  std::vector<OutputRecord> records;
  for (std::uint32_t set = 0; set < 10; ++set) {
    records.push_back(record(set, 4, 10.0 + set, set, 1000 + set));
  }
  records.push_back(record(5, 4, 500.0, 5));   // a repeated delivery
  records.push_back(record(5, 0, 1.0, 5));     // another output
  const OutputFigures figures = output_figures(records, 4, {3, 8});
  EXPECT_EQ(figures.received, 5u);
  EXPECT_DOUBLE_EQ(figures.latency.p50, 15.0);
  EXPECT_DOUBLE_EQ(figures.latency.max, 17.0);
  EXPECT_DOUBLE_EQ(figures.mean_bytes, 1005.0);
  EXPECT_EQ(output_figures(records, 2, {0, 10}).received, 0u);
  EXPECT_EQ(SetRange({3, 8}).size(), 5u);
  EXPECT_EQ(SetRange({8, 3}).size(), 0u);
}

TEST(OutputFigures, WholeSetsNeedEveryOutputAsked)
{
  std::vector<OutputRecord> records;
  for (std::uint32_t set = 0; set < 6; ++set) {
    records.push_back(record(set, 0, 1.0, 0));
    if (set % 2 == 0) {
      records.push_back(record(set, 4, 1.0, 0));
      records.push_back(record(set, 4, 2.0, 0));
    }
  }
  EXPECT_EQ(whole_sets(records, {0, 4}, {0, 6}), 3u);
  EXPECT_EQ(whole_sets(records, {0, 4}, {1, 4}), 1u);
  EXPECT_EQ(whole_sets(records, {0}, {0, 6}), 6u);
  EXPECT_EQ(whole_sets(records, {0, 1}, {0, 6}), 0u);
}

TEST(OutputFigures, DecodedDataIsComparedWithTheReferenceOfTheSameSet)
{
  const std::vector<OutputRecord> reference = {
    record(1, 0, 1.0, 0xA), record(2, 0, 1.0, 0xB), record(3, 0, 1.0, 0xC),
    record(4, 1, 1.0, 0xD)};
  const std::vector<OutputRecord> decoded = {
    record(1, 0, 9.0, 0xA), record(2, 0, 9.0, 0xBB), record(3, 0, 9.0, 0xC),
    record(4, 0, 9.0, 0xD), record(9, 0, 9.0, 0xA)};
  const HashComparison all = compare_with_reference(reference, decoded, 0, {0, 10});
  EXPECT_EQ(all.identical, 2u);
  EXPECT_EQ(all.differing, 1u);
  EXPECT_EQ(all.unchecked, 2u);   // set 4's cam1 cloud and set 9 never reached the reference
  const HashComparison part = compare_with_reference(reference, decoded, 0, {2, 3});
  EXPECT_EQ(part.identical, 0u);
  EXPECT_EQ(part.differing, 1u);
  EXPECT_EQ(part.unchecked, 0u);
}

TEST(SubtopicCounts, ReadTheNodesDiagnosticsText)
{
  const auto counts = parse_subtopic_counts(
    "1234 frames sent, 7.5 ms each, 56 skipped for newer frames");
  ASSERT_TRUE(counts.has_value());
  EXPECT_EQ(counts->sent, 1234u);
  EXPECT_DOUBLE_EQ(counts->ms_each, 7.5);
  EXPECT_EQ(counts->skipped, 56u);
  EXPECT_TRUE(parse_subtopic_counts("0 frames sent, 0.0 ms each, 0 skipped for newer frames"));
  EXPECT_FALSE(parse_subtopic_counts("1234 frames sent, 7.5 ms each"));
  EXPECT_FALSE(parse_subtopic_counts("1 frames sent, 1.0 ms each, 2 skipped for newer frames!"));
  EXPECT_FALSE(parse_subtopic_counts("OK"));
}

}  // namespace
}  // namespace tavrinox_camera_convertor
