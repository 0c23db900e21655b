// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Soak run: one FramePipeline, as in the node, fed thousands of frames whose sizes change
// every few frames and whose content varies (no holes, random blobs, all zero, 32FC1 and
// foreign byte order, rejected depth images, colour images that cannot become rgb8).
// Resident memory is read after a warm-up at the largest size, halfway and at the end; the
// run fails if it grew by more than 1 MiB after the warm-up. Not a test: a tool that prints
// its figures and a verdict.
//
// usage: tavrinox_soak CONFIG_YAML [FRAMES]   (default 10000 frames)
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "tavrinox_camera_convertor/geometry/frame_error.hpp"
#include "tavrinox_camera_convertor/pipeline/color_conversion.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_pipeline.hpp"

namespace
{

namespace tc = tavrinox_camera_convertor;

constexpr std::int64_t kAllowedGrowthKib = 1024;

struct Size
{
  std::uint32_t width;
  std::uint32_t height;
};

// Common driver resolutions; the last one is the largest and is used for the warm-up.
constexpr std::array<Size,
  6> kSizes = {{{320, 240}, {424, 240}, {640, 360}, {640, 480}, {848, 480}, {1280, 720}}};

/// @brief Resident memory of this process in KiB (VmRSS), or -1 when it cannot be read.
std::int64_t resident_kib()
{
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) {
      return std::strtol(line.c_str() + 6, nullptr, 10);
    }
  }
  return -1;
}

tc::ImageMessage make_image(
  Size size, const std::string & encoding, std::uint32_t bytes_per_pixel,
  std::uint32_t padding)
{
  tc::ImageMessage image;
  image.width = size.width;
  image.height = size.height;
  image.encoding = encoding;
  image.is_bigendian = tc::host_is_bigendian() ? 1 : 0;
  image.step = size.width * bytes_per_pixel + padding;
  image.data.assign(static_cast<std::size_t>(image.step) * size.height, 0);
  return image;
}

void put_u16(tc::ImageMessage & image, std::uint32_t row, std::uint32_t column, std::uint16_t value)
{
  std::memcpy(
    image.data.data() + static_cast<std::size_t>(row) * image.step + 2u * column, &value,
    sizeof value);
}

std::uint16_t get_u16(const tc::ImageMessage & image, std::uint32_t row, std::uint32_t column)
{
  std::uint16_t value;
  std::memcpy(
    &value,
    image.data.data() + static_cast<std::size_t>(row) * image.step + 2u * column, sizeof value);
  return value;
}

/// A sloping table 0.8 to 2 m away: every pixel has depth.
tc::ImageMessage full_depth(Size size)
{
  tc::ImageMessage image = make_image(size, "16UC1", 2, 0);
  for (std::uint32_t row = 0; row < size.height; ++row) {
    for (std::uint32_t column = 0; column < size.width; ++column) {
      put_u16(image, row, column, static_cast<std::uint16_t>(800 + (row * 7 + column * 3) % 1200));
    }
  }
  return image;
}

/// `full` with round holes, as shiny or dark surfaces leave them.
tc::ImageMessage with_blobs(const tc::ImageMessage & full, std::mt19937 & random)
{
  tc::ImageMessage image = full;
  std::uniform_int_distribution<int> blob_count(5, 40);
  std::uniform_int_distribution<int> radius_of(3, 40);
  std::uniform_int_distribution<std::uint32_t> row_of(0, image.height - 1);
  std::uniform_int_distribution<std::uint32_t> column_of(0, image.width - 1);
  for (int blob = blob_count(random); blob > 0; --blob) {
    const int radius = radius_of(random);
    const auto centre_row = static_cast<int>(row_of(random));
    const auto centre_column = static_cast<int>(column_of(random));
    for (int row = std::max(0, centre_row - radius);
      row <= std::min<int>(image.height - 1, centre_row + radius); ++row)
    {
      for (int column = std::max(0, centre_column - radius);
        column <= std::min<int>(image.width - 1, centre_column + radius); ++column)
      {
        const int dr = row - centre_row;
        const int dc = column - centre_column;
        if (dr * dr + dc * dc <= radius * radius) {
          put_u16(image, static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(column), 0);
        }
      }
    }
  }
  return image;
}

/// The same millimetres, most significant byte first.
tc::ImageMessage byte_swapped(const tc::ImageMessage & depth)
{
  tc::ImageMessage image = depth;
  for (std::size_t i = 0; i + 1 < image.data.size(); i += 2) {
    std::swap(image.data[i], image.data[i + 1]);
  }
  image.is_bigendian = image.is_bigendian ? 0 : 1;
  return image;
}

/// The same depth as "32FC1" metres, with NaN where there is none, as many drivers send.
tc::ImageMessage in_metres(const tc::ImageMessage & depth)
{
  tc::ImageMessage image = make_image({depth.width, depth.height}, "32FC1", 4, 0);
  for (std::uint32_t row = 0; row < depth.height; ++row) {
    for (std::uint32_t column = 0; column < depth.width; ++column) {
      const std::uint16_t millimetres = get_u16(depth, row, column);
      const float metres = millimetres ==
        0 ? std::nanf("") : static_cast<float>(millimetres) / 1000.0f;
      std::memcpy(
        image.data.data() + static_cast<std::size_t>(row) * image.step + 4u * column, &metres,
        sizeof metres);
    }
  }
  return image;
}

tc::ImageMessage colour(
  Size size, const std::string & encoding, std::uint32_t channels,
  std::uint32_t padding)
{
  tc::ImageMessage image = make_image(size, encoding, channels, padding);
  for (std::size_t i = 0; i < image.data.size(); ++i) {
    image.data[i] = static_cast<std::uint8_t>(i * 31 + 7);
  }
  return image;
}

/// Every image one resolution can be fed, made once so the soak itself allocates nothing per frame.
struct SizedInputs
{
  explicit SizedInputs(Size size, std::mt19937 & random)
  : full(full_depth(size)), blobs_a(with_blobs(full, random)), blobs_b(with_blobs(full, random)),
    zero(make_image(size, "16UC1", 2, 0)), big_endian(byte_swapped(blobs_a)),
    metres(in_metres(blobs_b)),
    bgr8(colour(size, "bgr8", 3, 0)), rgba8_padded(colour(size, "rgba8", 4, 32))
  {
  }

  tc::ImageMessage full;
  tc::ImageMessage blobs_a;
  tc::ImageMessage blobs_b;
  tc::ImageMessage zero;
  tc::ImageMessage big_endian;
  tc::ImageMessage metres;
  tc::ImageMessage bgr8;
  tc::ImageMessage rgba8_padded;
};

enum class FrameKind { kNoHoles, kBlobs, kAllZero, kForeignEncodings, kBadDepth, kBadColour };

/// What one frame is made of: views into the prepared images, headers possibly altered.
struct FramePlan
{
  FrameKind kind;
  tc::ImageView depth_1;
  tc::ImageView depth_2;
  tc::ImageView rgb_1;
};

FramePlan plan_frame(
  FrameKind kind, const SizedInputs & camera_1, const SizedInputs & camera_2,
  bool padded_colour)
{
  FramePlan plan{kind, tc::view_of(camera_1.blobs_a), tc::view_of(camera_2.blobs_b),
    tc::view_of(padded_colour ? camera_1.rgba8_padded : camera_1.bgr8)};
  switch (kind) {
    case FrameKind::kNoHoles:
      plan.depth_1 = tc::view_of(camera_1.full);
      plan.depth_2 = tc::view_of(camera_2.full);
      break;
    case FrameKind::kBlobs:
      break;
    case FrameKind::kAllZero:
      plan.depth_1 = tc::view_of(camera_1.zero);
      plan.depth_2 = tc::view_of(camera_2.zero);
      break;
    case FrameKind::kForeignEncodings:
      plan.depth_1 = tc::view_of(camera_1.big_endian);
      plan.depth_2 = tc::view_of(camera_2.metres);
      break;
    case FrameKind::kBadDepth:
      // A row step shorter than a row: the frame is rejected before anything is published.
      plan.depth_2.step = 2 * plan.depth_2.width - 2;
      break;
    case FrameKind::kBadColour:
      // Converts nowhere: both clouds and the depth image are published, the rest is not.
      plan.rgb_1.encoding = "32SC4";
      break;
  }
  return plan;
}

/// Counts the outputs; the messages stay with the pipeline, as after a publisher's copy.
class CountingOutput : public tc::FrameOutput
{
public:
  void publish_cam1_cloud(tc::CloudMessage & message) override {consume(message.cloud.data);}
  void publish_cam2_cloud(tc::CloudMessage & message) override {consume(message.cloud.data);}
  void publish_depth_image(tc::ImageMessage & message) override {consume(message.data);}
  void publish_color_image(tc::ImageMessage & message) override {consume(message.data);}
  void publish_converted_cloud(tc::CloudMessage & message) override {consume(message.cloud.data);}

  std::uint64_t messages = 0;
  std::uint64_t bytes = 0;

private:
  void consume(const std::vector<std::uint8_t> & data)
  {
    ++messages;
    bytes += data.size();
  }
};

struct Tally
{
  std::uint64_t complete = 0;
  std::uint64_t rejected_depth = 0;
  std::uint64_t failed_colour = 0;
};

void run_frame(
  tc::FramePipeline & pipeline, const FramePlan & plan, tc::Clock & clock,
  CountingOutput & output, Tally & tally)
{
  const std::uint64_t before = output.messages;
  try {
    const tc::ImageViewColorConverter colour(plan.rgb_1);
    pipeline.process({plan.depth_1, plan.depth_2}, colour, clock, output);
    ++tally.complete;
  } catch (const tc::FrameError &) {
    ++(output.messages == before ? tally.rejected_depth : tally.failed_colour);
  }
}

void print_sample(
  const char * label, std::uint64_t frames_done, std::int64_t kib, std::int64_t start_kib)
{
  std::cout << "  " << label << " (after " << frames_done << " frames): VmRSS " << kib << " KiB";
  if (start_kib >= 0 && kib >= 0) {
    std::cout << " (" << (kib - start_kib >= 0 ? "+" : "") << kib - start_kib << " KiB)";
  }
  std::cout << std::endl;
}

}  // namespace

int main(int argc, char ** argv)
{
  if (argc < 2 || argc > 3) {
    std::cerr << "usage: " << argv[0] << " CONFIG_YAML [FRAMES]" << std::endl;
    return 2;
  }
  const std::int64_t frames = argc == 3 ? std::strtol(argv[2], nullptr, 10) : 10000;
  if (frames < 2) {
    std::cerr << "FRAMES must be at least 2" << std::endl;
    return 2;
  }
  try {
    std::ostringstream matrices;
    const tc::CameraConfig config = tc::load_camera_config(argv[1], matrices);

    std::mt19937 random(20260806u);
    std::vector<SizedInputs> inputs;
    inputs.reserve(kSizes.size());
    for (const Size size : kSizes) {
      inputs.emplace_back(size, random);
    }
    const SizedInputs & largest = inputs.back();

    tc::FramePipeline pipeline(config);
    tc::SystemClock clock;
    CountingOutput output;
    Tally tally;

    // Every buffer the pipeline keeps reaches its largest size here: full depth everywhere
    // (most points), converted encodings (scratch), padded colour and both failure paths.
    for (const FrameKind kind :
      {FrameKind::kNoHoles, FrameKind::kForeignEncodings, FrameKind::kBlobs,
        FrameKind::kAllZero, FrameKind::kBadDepth, FrameKind::kBadColour})
    {
      for (const bool padded : {false, true}) {
        run_frame(pipeline, plan_frame(kind, largest, largest, padded), clock, output, tally);
      }
    }

    std::cout << "Soak: " << frames <<
      " frames, sizes 320x240 to 1280x720 changing every 3 to 12 frames" << std::endl;
    const std::int64_t start_kib = resident_kib();
    print_sample("start", 0, start_kib, -1);

    std::uniform_int_distribution<int> run_length(3, 12);
    std::uniform_int_distribution<std::size_t> size_index(0, kSizes.size() - 1);
    std::uniform_int_distribution<int> percent(0, 99);
    std::size_t size_1 = 0;
    std::size_t size_2 = 0;
    int frames_left_at_size = 0;
    std::int64_t middle_kib = -1;
    for (std::int64_t frame = 1; frame <= frames; ++frame) {
      if (frames_left_at_size-- == 0) {
        frames_left_at_size = run_length(random) - 1;
        size_1 = size_index(random);
        // Most often both cameras stream the same resolution; sometimes camera 2 differs.
        size_2 = percent(random) < 75 ? size_1 : size_index(random);
      }
      const int roll = percent(random);
      const FrameKind kind = roll < 25 ? FrameKind::kNoHoles : roll < 60 ? FrameKind::kBlobs :
        roll < 65 ? FrameKind::kAllZero : roll < 80 ? FrameKind::kForeignEncodings :
        roll < 90 ? FrameKind::kBadDepth : FrameKind::kBadColour;
      run_frame(
        pipeline, plan_frame(
          kind, inputs[size_1], inputs[size_2], percent(
            random) < 30), clock, output, tally);
      if (frame == frames / 2) {
        middle_kib = resident_kib();
        print_sample("middle", static_cast<std::uint64_t>(frame), middle_kib, start_kib);
      }
    }
    const std::int64_t end_kib = resident_kib();
    print_sample("end", static_cast<std::uint64_t>(frames), end_kib, start_kib);

    std::cout << "Frames: " << tally.complete << " complete, " << tally.rejected_depth <<
      " rejected depth, "
              << tally.failed_colour << " failed colour conversion (warm-up included); " <<
      output.messages
              << " messages, " << output.bytes / (1024 * 1024) << " MiB published" << std::endl;
    if (start_kib < 0 || end_kib < 0) {
      std::cout << "VERDICT: UNKNOWN (VmRSS cannot be read from /proc/self/status)" << std::endl;
      return 1;
    }
    const std::int64_t growth_kib = end_kib - start_kib;
    const bool passed = growth_kib <= kAllowedGrowthKib;
    std::cout << "VERDICT: " << (passed ? "PASS" : "FAIL") << ": resident memory changed by " <<
      growth_kib
              << " KiB after the warm-up (limit +" << kAllowedGrowthKib << " KiB)" << std::endl;
    return passed ? 0 : 1;
  } catch (const std::exception & error) {
    std::cerr << "Soak aborted: " << error.what() << std::endl;
    return 2;
  }
}
