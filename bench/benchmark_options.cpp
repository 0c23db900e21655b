// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "benchmark_options.hpp"

#include <algorithm>
#include <stdexcept>

namespace tavrinox_camera_convertor::bench
{
namespace
{

InstructionSet instruction_set_named(const std::string & name)
{
  for (const InstructionSet set :
    {InstructionSet::scalar, InstructionSet::sse2, InstructionSet::avx2})
  {
    if (to_string(set) == name) {
      return set;
    }
  }
  throw std::runtime_error("unknown instruction set " + name + " (scalar, sse2 or avx2)");
}

/// A whole number within the bounds, digits only: "1e9" or "30 frames" are no count.
int runs_from(const std::string & text)
{
  const bool digits = !text.empty() && text.size() <= 9 &&
    std::all_of(text.begin(), text.end(), [](char c) {return c >= '0' && c <= '9';});
  const int runs = digits ? std::stoi(text) : -1;
  if (runs < kFewestRuns || runs > kMostRuns) {
    throw std::runtime_error(
            "--runs " + text + ": give a whole number of timed frames per case from " +
            std::to_string(kFewestRuns) + " to " + std::to_string(kMostRuns));
  }
  return runs;
}

}  // namespace

BenchmarkOptions parse_benchmark_options(
  int argc, const char * const * argv, const std::string & default_config)
{
  BenchmarkOptions options;
  options.config = default_config;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
        if (i + 1 >= argc) {
          throw std::runtime_error("option " + arg + " needs a value");
        }
        return argv[++i];
      };
    if (arg == "--config") {
      options.config = value();
    } else if (arg == "--depth1") {
      options.depth1 = value();
    } else if (arg == "--depth2") {
      options.depth2 = value();
    } else if (arg == "--rgb1") {
      options.rgb1 = value();
    } else if (arg == "--case") {
      options.only_case = value();
    } else if (arg == "--instruction-set") {
      options.instruction_set = instruction_set_named(value());
    } else if (arg == "--runs") {
      options.runs = runs_from(value());
    } else if (arg == "--threads") {
      const std::string threads = value();
      if (threads != "1" && threads != "2") {
        throw std::runtime_error("--threads " + threads + ": a frame runs on 1 or 2 threads");
      }
      options.threads = threads == "1" ? 1 : 2;
    } else {
      throw std::runtime_error(
              "unknown option " + arg + "\nusage: tavrinox_frame_benchmark [--runs N] "
              "[--case NAME] [--instruction-set scalar|sse2|avx2] [--threads 1|2] "
              "[--config FILE --depth1 FILE --depth2 FILE --rgb1 FILE]");
    }
  }
  const bool any_file =
    !options.depth1.empty() || !options.depth2.empty() || !options.rgb1.empty();
  if (any_file && (options.depth1.empty() || options.depth2.empty() || options.rgb1.empty())) {
    throw std::runtime_error("own frames need all of --depth1, --depth2 and --rgb1");
  }
  return options;
}

void require_known_case(const std::string & only_case, const std::vector<std::string> & cases)
{
  if (only_case.empty() || std::find(cases.begin(), cases.end(), only_case) != cases.end()) {
    return;
  }
  std::string names;
  for (const std::string & name : cases) {
    names += (names.empty() ? "" : ", ") + name;
  }
  throw std::runtime_error("--case " + only_case + ": no such case; there are " + names);
}

}  // namespace tavrinox_camera_convertor::bench
