// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The benchmark's command line: what it takes, and the bounds that keep a run finite.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "benchmark_options.hpp"

namespace tavrinox_camera_convertor::bench
{
namespace
{

/// The options of `arguments` (without the program name), or the error's text.
struct Parsed
{
  BenchmarkOptions options;
  std::string error;
};

Parsed parse(std::vector<const char *> arguments)
{
  arguments.insert(arguments.begin(), "tavrinox_frame_benchmark");
  Parsed parsed;
  try {
    parsed.options = parse_benchmark_options(
      static_cast<int>(arguments.size()), arguments.data(), "package.yaml");
  } catch (const std::runtime_error & error) {
    parsed.error = error.what();
  }
  return parsed;
}

TEST(BenchmarkOptions, RunsAreAWholeNumberWithinTheBounds)
{
  EXPECT_EQ(parse({}).options.runs, 30);
  EXPECT_EQ(parse({"--runs", "3"}).options.runs, kFewestRuns);
  EXPECT_EQ(parse({"--runs", "1000"}).options.runs, kMostRuns);
  const std::string bounds = "give a whole number of timed frames per case from 3 to 1000";
  for (const char * runs : {"2", "0", "1001", "100000000", "99999999999999", "1e9", "-5", "30x",
      "", " 30"})
  {
    EXPECT_EQ(parse({"--runs", runs}).error, std::string("--runs ") + runs + ": " + bounds) << runs;
  }
}

TEST(BenchmarkOptions, FilesConfigurationAndLoopsAreTakenAsGiven)
{
  const Parsed parsed = parse(
    {"--config", "c.yaml", "--depth1", "a.png", "--depth2", "b.png",
      "--rgb1", "c.png", "--instruction-set", "scalar", "--case", "own_frame"});
  ASSERT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.options.config, "c.yaml");
  EXPECT_EQ(parsed.options.depth2, "b.png");
  EXPECT_EQ(parsed.options.instruction_set, InstructionSet::scalar);
  EXPECT_EQ(parsed.options.only_case, "own_frame");
  EXPECT_EQ(parse({}).options.config, "package.yaml");
  EXPECT_EQ(
    parse({"--depth1", "a.png"}).error,
    "own frames need all of --depth1, --depth2 and --rgb1");
  EXPECT_EQ(
    parse({"--instruction-set", "neon"}).error,
    "unknown instruction set neon (scalar, sse2 or avx2)");
  EXPECT_EQ(parse({"--runs"}).error, "option --runs needs a value");
}

TEST(BenchmarkOptions, AFrameRunsOnOneOrTwoThreads)
{
  EXPECT_EQ(parse({"--threads", "1"}).options.threads, 1u);
  EXPECT_EQ(parse({"--threads", "2"}).options.threads, 2u);
  for (const char * threads : {"0", "3", "two", ""}) {
    EXPECT_EQ(
      parse({"--threads", threads}).error,
      std::string("--threads ") + threads + ": a frame runs on 1 or 2 threads") << threads;
  }
}

TEST(BenchmarkOptions, ACaseThatDoesNotExistIsNamedWithTheOnesThatDo)
{
  const std::vector<std::string> cases = {"640x480_full", "640x480_holes"};
  EXPECT_NO_THROW(require_known_case("", cases));
  EXPECT_NO_THROW(require_known_case("640x480_holes", cases));
  try {
    require_known_case("640x480", cases);
    ADD_FAILURE() << "an unknown case ran nothing and passed";
  } catch (const std::runtime_error & error) {
    EXPECT_STREQ(
      error.what(),
      "--case 640x480: no such case; there are 640x480_full, 640x480_holes");
  }
}

}  // namespace
}  // namespace tavrinox_camera_convertor::bench
