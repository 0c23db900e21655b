// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The remote consumer's figures of the two-host benchmark: what arrived of the sets of a window,
// how late after the outputs' stamps, how many bytes each message took, and whether each
// decoded output is, bit for bit, what the local consumer received raw; "of_raw" is a message's
// bytes over those of the raw message of the same output.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "remote_figures.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

constexpr const char * kUsage =
  "usage: tavrinox_remote_report --reference LOCAL.csv --received REMOTE.csv\n"
  "                              --first-set N --end-set M [--outputs a,b,...]\n"
  "  LOCAL.csv   every output the local consumer received raw (set, stamp, bytes, hash)\n"
  "  REMOTE.csv  the same of the remote consumer, hashes of the decoded data\n"
  "  N, M        the window: sets N up to, not including, M\n"
  "  --outputs   the outputs the remote consumer subscribed to (default: all five)\n";

struct Options
{
  std::string reference;
  std::string received;
  SetRange window;
  std::vector<std::size_t> outputs = {0, 1, 2, 3, 4};
};

[[noreturn]] void usage_error(const std::string & what)
{
  std::cerr << "tavrinox_remote_report: " << what << "\n" << kUsage;
  std::exit(2);
}

std::uint32_t set_number(const std::string & text)
{
  try {
    std::size_t used = 0;
    const unsigned long value = std::stoul(text, &used);  // NOLINT(runtime/int)
    if (used == text.size() && value <= UINT32_MAX) {
      return static_cast<std::uint32_t>(value);
    }
  } catch (const std::exception &) {
  }
  usage_error("not a set number: " + text);
}

Options parse(int argc, char ** argv)
{
  Options options;
  bool first = false;
  bool end = false;
  for (int k = 1; k < argc; ++k) {
    const std::string name = argv[k];
    if (k + 1 >= argc) {
      usage_error(name + " needs a value");
    }
    const std::string value = argv[++k];
    if (name == "--reference") {
      options.reference = value;
    } else if (name == "--received") {
      options.received = value;
    } else if (name == "--first-set") {
      options.window.first = set_number(value);
      first = true;
    } else if (name == "--end-set") {
      options.window.end = set_number(value);
      end = true;
    } else if (name == "--outputs") {
      options.outputs.clear();
      std::istringstream names(value);
      std::string output;
      while (std::getline(names, output, ',')) {
        const auto index = output_index(output);
        if (!index) {
          usage_error("unknown output " + output);
        }
        options.outputs.push_back(*index);
      }
    } else {
      usage_error("unknown option " + name);
    }
  }
  if (options.reference.empty() || options.received.empty() || !first || !end) {
    usage_error("--reference, --received, --first-set and --end-set are needed");
  }
  return options;
}

std::vector<OutputRecord> read_records(const std::string & path)
{
  std::ifstream file(path);
  if (!file) {
    std::cerr << "tavrinox_remote_report: cannot read " << path << "\n";
    std::exit(2);
  }
  return read_output_records(file);
}

double percent(std::size_t part, std::size_t whole)
{
  return whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole);
}

}  // namespace
}  // namespace tavrinox_camera_convertor

int main(int argc, char ** argv)
{
  using namespace tavrinox_camera_convertor;  // NOLINT(build/namespaces)
  const Options options = parse(argc, argv);
  const std::vector<OutputRecord> reference = read_records(options.reference);
  const std::vector<OutputRecord> received = read_records(options.received);
  const std::size_t sets = options.window.size();
  HashComparison clouds;
  HashComparison images;
  for (const std::size_t output : options.outputs) {
    const OutputFigures figures = output_figures(received, output, options.window);
    const OutputFigures raw = output_figures(reference, output, options.window);
    const HashComparison comparison =
      compare_with_reference(reference, received, output, options.window);
    HashComparison & kind = (output == 2 || output == 3) ? images : clouds;
    kind.identical += comparison.identical;
    kind.differing += comparison.differing;
    kind.unchecked += comparison.unchecked;
    std::printf(
      "remote_output=%s received=%zu of %zu (%.1f%%) p50_ms=%.1f p90_ms=%.1f p99_ms=%.1f "
      "max_ms=%.1f bytes_per_message=%.0f of_raw=%.4f identical=%zu differing=%zu "
      "unchecked=%zu\n",
      kOutputNames[output], figures.received, sets, percent(figures.received, sets),
      figures.latency.p50, figures.latency.p90, figures.latency.p99, figures.latency.max,
      figures.mean_bytes, raw.mean_bytes > 0.0 ? figures.mean_bytes / raw.mean_bytes : 0.0,
      comparison.identical, comparison.differing, comparison.unchecked);
  }
  const std::size_t whole = whole_sets(received, options.outputs, options.window);
  std::printf("remote_whole_sets=%zu of %zu (%.1f%%)\n", whole, sets, percent(whole, sets));
  std::printf(
    "remote_decoded clouds_identical=%zu clouds_differing=%zu clouds_unchecked=%zu "
    "images_identical=%zu images_differing=%zu images_unchecked=%zu\n",
    clouds.identical, clouds.differing, clouds.unchecked, images.identical, images.differing,
    images.unchecked);
  return 0;
}
