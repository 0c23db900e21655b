// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The figures the streaming benchmark reports: latency percentiles and a process's usage.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <vector>

#include "latency_summary.hpp"
#include "process_usage.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

TEST(LatencySummary, NearestRankPercentilesOfUnsortedLatencies)
{
  std::vector<double> latencies;
  for (int k = 100; k >= 1; --k) {
    latencies.push_back(k);
  }
  const LatencySummary summary = summarize_latencies(latencies);
  EXPECT_EQ(summary.p50, 50.0);
  EXPECT_EQ(summary.p90, 90.0);
  EXPECT_EQ(summary.p99, 99.0);
  EXPECT_EQ(summary.max, 100.0);
  const LatencySummary one = summarize_latencies({7.5});
  EXPECT_EQ(one.p50, 7.5);
  EXPECT_EQ(one.p99, 7.5);
  EXPECT_EQ(summarize_latencies({}).max, 0.0);
}

TEST(ProcessUsage, SeesThisProcessWorkAndGoneProcessesAreNothing)
{
  const auto before = read_process_usage(getpid());
  ASSERT_TRUE(before.has_value());
  EXPECT_GT(before->resident_kib, 0);
  // A second of busy work shows as CPU time (the clock ticks in hundredths of a second).
  volatile double sink = 0.0;
  const auto started = std::chrono::steady_clock::now();
  while (std::chrono::steady_clock::now() - started < std::chrono::seconds(1)) {
    for (int k = 0; k < 100000; ++k) {
      sink = sink + k;
    }
  }
  EXPECT_GE(read_process_usage(getpid())->cpu_ms, before->cpu_ms + 200.0);
  EXPECT_FALSE(read_process_usage(999999999).has_value());
}

}  // namespace
}  // namespace tavrinox_camera_convertor
