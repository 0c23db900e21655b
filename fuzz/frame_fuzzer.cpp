// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Arbitrary image messages and calibration through the frame pipeline. A frame must either
// give all five outputs, or be rejected with FrameError before the first output (an
// unreadable depth image) or right after the depth image (a colour image that cannot become
// rgb8). The outputs must be consistent messages, and nothing may be read out of bounds.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <limits>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

#include "fuzz_finding.hpp"
#include "tavrinox_camera_convertor/geometry/frame_error.hpp"
#include "tavrinox_camera_convertor/pipeline/color_conversion.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_pipeline.hpp"

namespace
{

namespace tc = tavrinox_camera_convertor;
using tc::fuzz::finding;
using tc::fuzz::require;

// Headers may claim anything; these bounds only keep one input within milliseconds.
constexpr int kMaxDataBits = 22;  // 4 MiB
constexpr std::uint64_t kMaxHeaderDerivedBytes = 128u << 10;
constexpr std::uint64_t kMaxProcessedPixels = 1u << 14;

/// An image message as a driver could send it: a header that may lie, and its bytes.
struct FuzzedImage
{
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::string encoding;
  bool is_bigendian = false;
  std::uint32_t step = 0;
  std::vector<std::uint8_t> data;

  tc::ImageView view() const
  {
    tc::ImageView image;
    image.width = width;
    image.height = height;
    image.encoding = encoding;
    image.is_bigendian = is_bigendian;
    image.step = step;
    image.data = data.data();
    image.size = data.size();
    return image;
  }
};

/// Which image a header is for: it decides the encodings a driver would normally send.
enum class Role { kDepth, kColour };

std::string consume_encoding(FuzzedDataProvider & input, Role role)
{
  constexpr std::array<const char *, 3> kDepth = {"16UC1", "mono16", "32FC1"};
  constexpr std::array<const char *, 5> kColour = {"rgb8", "bgr8", "rgba8", "bgra8", "mono8"};
  constexpr std::array<const char *, 12> kOther = {
    "16SC1", "32FC3", "8UC1", "16UC3", "rgb16", "bayer_rggb8", "yuv422", "", "16uc1", "16UC1 ",
    "32FC1x", "64FC1"};
  // Mostly what the role expects (also when the input has run out), so frames get through;
  // otherwise near misses, arbitrary text and the other role's encodings.
  switch (input.ConsumeIntegralInRange<int>(0, 7)) {
    case 5:
      return kOther[input.ConsumeIntegralInRange<std::size_t>(0, kOther.size() - 1)];
    case 6:
      return input.ConsumeRandomLengthString(12);
    case 7:
      return role == Role::kDepth ?
             kColour[input.ConsumeIntegralInRange<std::size_t>(0, kColour.size() - 1)] :
             kDepth[input.ConsumeIntegralInRange<std::size_t>(0, kDepth.size() - 1)];
    default:
      return role == Role::kDepth ?
             kDepth[input.ConsumeIntegralInRange<std::size_t>(0, kDepth.size() - 1)] :
             kColour[input.ConsumeIntegralInRange<std::size_t>(0, kColour.size() - 1)];
  }
}

std::uint32_t consume_dimension(FuzzedDataProvider & input)
{
  constexpr std::array<std::uint32_t, 10> kEdges = {
    0u, 1u, 65536u, 268435456u, 536870911u, 536870912u, 2147483647u, 2147483648u, 4294967294u,
    4294967295u};
  switch (input.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
      return input.ConsumeIntegralInRange<std::uint32_t>(0, 8);
    case 1:
      return input.ConsumeIntegralInRange<std::uint32_t>(0, 1280);
    case 2:
      return kEdges[input.ConsumeIntegralInRange<std::size_t>(0, kEdges.size() - 1)];
    default:
      return input.ConsumeIntegral<std::uint32_t>();
  }
}

std::size_t bytes_per_depth_pixel(std::string_view encoding)
{
  if (encoding == "16UC1" || encoding == "mono16") {
    return 2;
  }
  return encoding == "32FC1" ? 4 : 0;
}

std::size_t colour_channels(std::string_view encoding)
{
  if (encoding == "rgb8" || encoding == "bgr8") {
    return 3;
  }
  if (encoding == "rgba8" || encoding == "bgra8") {
    return 4;
  }
  return encoding == "mono8" ? 1 : 0;
}

std::uint32_t consume_step(
  FuzzedDataProvider & input, std::uint32_t width, std::string_view encoding)
{
  const std::size_t encoding_pixel_bytes =
    std::max(bytes_per_depth_pixel(encoding), colour_channels(encoding));
  const std::uint64_t bytes_per_pixel = encoding_pixel_bytes != 0 && input.ConsumeBool() ?
    encoding_pixel_bytes : input.ConsumeIntegralInRange<std::uint64_t>(1, 8);
  const std::uint64_t packed = width * bytes_per_pixel;
  // Truncation to 32 bits is deliberate: a wrapped step is one more way for a header to lie.
  switch (input.ConsumeIntegralInRange<int>(0, 4)) {
    case 0:
      return static_cast<std::uint32_t>(packed);
    case 1:
      return static_cast<std::uint32_t>(
        packed + input.ConsumeIntegralInRange<std::uint64_t>(1, 64));
    case 2:
      return static_cast<std::uint32_t>(packed - input.ConsumeIntegralInRange<std::uint64_t>(1, 4));
    case 3:
      return 0;
    default:
      return input.ConsumeIntegral<std::uint32_t>();
  }
}

std::size_t consume_data_length(FuzzedDataProvider & input, const FuzzedImage & image)
{
  const std::uint64_t rows_bytes = static_cast<std::uint64_t>(image.step) * image.height;
  constexpr int kArbitraryLength = 4;
  const int mode = input.ConsumeIntegralInRange<int>(0, kArbitraryLength);
  std::uint64_t length = 0;
  switch (mode) {
    case 0:
      length = rows_bytes;
      break;
    case 1:
      length = rows_bytes -
        std::min<std::uint64_t>(rows_bytes, input.ConsumeIntegralInRange<std::uint64_t>(1, 16));
      break;
    case 2:
      length = rows_bytes + input.ConsumeIntegralInRange<std::uint64_t>(1, 16);
      break;
    case 3:
      length = 0;
      break;
    default: {
        // Log-uniform, so most inputs stay small and fast while megabytes remain reachable.
        const int bits = input.ConsumeIntegralInRange<int>(0, kMaxDataBits);
        length = input.ConsumeIntegralInRange<std::uint64_t>(0, std::uint64_t{1} << bits);
        break;
      }
  }
  // Lengths derived from a lying header are kept small (a short buffer tests the lie as well
  // as a long one); megabytes come from the log-uniform choice above, now and then.
  if (mode != kArbitraryLength) {
    length = std::min<std::uint64_t>(length, kMaxHeaderDerivedBytes);
  }
  // A large image whose rows all lie inside its data would be processed in full; one byte
  // short it must still be rejected, so the header's claim is tested without the cost.
  const std::uint64_t pixels = static_cast<std::uint64_t>(image.width) * image.height;
  if (pixels > kMaxProcessedPixels && rows_bytes > 0 && length >= rows_bytes) {
    length = rows_bytes - 1;
  }
  return static_cast<std::size_t>(length);
}

FuzzedImage consume_header(FuzzedDataProvider & input, Role role)
{
  FuzzedImage image;
  image.encoding = consume_encoding(input, role);
  image.width = consume_dimension(input);
  image.height = consume_dimension(input);
  image.is_bigendian = input.ConsumeBool();
  image.step = consume_step(input, image.width, image.encoding);
  image.data.resize(consume_data_length(input, image));
  return image;
}

/// Fills every image's data by repeating a pattern from the input: holes, blobs and noise alike.
void fill_pixels(FuzzedDataProvider & input, FuzzedImage & image)
{
  const std::vector<std::uint8_t> pattern =
    input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 256));
  if (pattern.empty() || image.data.empty()) {
    return;  // all zero: no depth at all
  }
  // Doubling copies: a one-byte pattern over megabytes costs a few dozen calls, not millions.
  std::size_t filled = std::min(pattern.size(), image.data.size());
  std::memcpy(image.data.data(), pattern.data(), filled);
  while (filled < image.data.size()) {
    const std::size_t copied = std::min(filled, image.data.size() - filled);
    std::memcpy(image.data.data() + filled, image.data.data(), copied);
    filled += copied;
  }
}

float consume_calibration_value(FuzzedDataProvider & input, float typical_magnitude)
{
  constexpr std::array<float, 12> kSpecial = {
    0.0f, -0.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
    -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::denorm_min(),
    std::numeric_limits<float>::max(), std::numeric_limits<float>::lowest(), 1e-30f, 1e30f, 1e9f,
    -1e9f};
  switch (input.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
      return input.ConsumeFloatingPointInRange<float>(
        -2.0f * typical_magnitude, 2.0f * typical_magnitude);
    case 1:
      return kSpecial[input.ConsumeIntegralInRange<std::size_t>(0, kSpecial.size() - 1)];
    default: {
        // Any bit pattern, NaN payloads and subnormals included.
        const std::uint32_t bits = input.ConsumeIntegral<std::uint32_t>();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
      }
  }
}

tc::CameraIntrinsics consume_intrinsics(FuzzedDataProvider & input)
{
  tc::CameraIntrinsics intrinsics;
  intrinsics.fx = consume_calibration_value(input, 600.0f);
  intrinsics.fy = consume_calibration_value(input, 600.0f);
  intrinsics.cx = consume_calibration_value(input, 640.0f);
  intrinsics.cy = consume_calibration_value(input, 360.0f);
  return intrinsics;
}

tc::ExtrinsicTransform consume_extrinsic(FuzzedDataProvider & input)
{
  std::array<float, 3> angles_deg{};
  std::array<float, 3> translation_m{};
  for (float & angle : angles_deg) {
    angle = consume_calibration_value(input, 360.0f);
  }
  for (float & coordinate : translation_m) {
    coordinate = consume_calibration_value(input, 2.0f);
  }
  return tc::make_extrinsic_transform(angles_deg, translation_m);
}

/// Whether every row the header claims lies inside the data (always so for an empty image).
bool rows_inside_data(const tc::ImageView & image, std::size_t bytes_per_pixel)
{
  if (image.width == 0 || image.height == 0) {
    return true;
  }
  return image.step >= static_cast<std::uint64_t>(image.width) * bytes_per_pixel &&
         image.size >= static_cast<std::uint64_t>(image.step) * image.height;
}

/// The documented reasons to reject a depth image; the completed image's row must fit 32 bits.
bool depth_readable(const tc::ImageView & image, bool is_camera_1)
{
  const std::size_t bytes_per_pixel = bytes_per_depth_pixel(image.encoding);
  if (bytes_per_pixel == 0 || !rows_inside_data(image, bytes_per_pixel)) {
    return false;
  }
  return !is_camera_1 ||
         2 * static_cast<std::uint64_t>(image.width) <= std::numeric_limits<std::uint32_t>::max();
}

bool colour_convertible(const tc::ImageView & image)
{
  constexpr std::uint32_t kLargest = std::numeric_limits<int>::max() / 4;
  const std::size_t channels = colour_channels(image.encoding);
  return channels != 0 && image.width <= kLargest && image.height <= kLargest &&
         rows_inside_data(image, channels);
}

std::size_t count_nonzero_depth(const tc::ImageMessage & image)
{
  std::size_t count = 0;
  for (std::size_t i = 0; i + 1 < image.data.size(); i += 2) {
    count += image.data[i] != 0 || image.data[i + 1] != 0;
  }
  return count;
}

/// Checks each output as it is published, against the frame's inputs.
class CheckingOutput : public tc::FrameOutput
{
public:
  CheckingOutput(
    const tc::ImageView & depth_1, const tc::ImageView & depth_2, const tc::ImageView & rgb_1)
  : depth_1_(depth_1), depth_2_(depth_2), rgb_1_(rgb_1)
  {
  }

  void publish_cam1_cloud(tc::CloudMessage & message) override
  {
    expect_next(0);
    check_cloud(message, static_cast<std::uint64_t>(depth_1_.width) * depth_1_.height);
  }

  void publish_cam2_cloud(tc::CloudMessage & message) override
  {
    expect_next(1);
    check_cloud(message, static_cast<std::uint64_t>(depth_2_.width) * depth_2_.height);
  }

  void publish_depth_image(tc::ImageMessage & message) override
  {
    expect_next(2);
    require(message.encoding == "16UC1", "depth image: encoding is not 16UC1");
    require(
      message.width == depth_1_.width && message.height == depth_1_.height,
      "depth image: size differs from camera 1's depth image");
    require(
      message.step == 2 * static_cast<std::uint64_t>(message.width),
      "depth image: step is not 2 x width");
    require(
      message.data.size() == static_cast<std::uint64_t>(message.step) * message.height,
      "depth image: data size is not step x height");
    check_measured_depth_kept(message);
    completed_depth_points_ = count_nonzero_depth(message);
  }

  void publish_color_image(tc::ImageMessage & message) override
  {
    expect_next(3);
    require(message.encoding == "rgb8", "colour image: encoding is not rgb8");
    require(
      message.width == rgb_1_.width && message.height == rgb_1_.height,
      "colour image: size differs from camera 1's colour image");
    require(
      message.step == 3 * static_cast<std::uint64_t>(message.width),
      "colour image: step is not 3 x width");
    require(
      message.data.size() == static_cast<std::uint64_t>(message.step) * message.height,
      "colour image: data size is not step x height");
  }

  void publish_converted_cloud(tc::CloudMessage & message) override
  {
    expect_next(4);
    check_cloud(message, completed_depth_points_);
    require(
      message.cloud.width == completed_depth_points_,
      "converted cloud: point count differs from the completed image's pixels with depth");
  }

  int published() const {return published_;}

private:
  void expect_next(int index)
  {
    require(published_ == index, "outputs out of order");
    ++published_;
  }

  static void check_cloud(const tc::CloudMessage & message, std::uint64_t max_points)
  {
    const pcl::PCLPointCloud2 & cloud = message.cloud;
    require(message.header.frame_id == "arm", "cloud: frame id is not the configured one");
    require(
      cloud.height == 1 && cloud.point_step == 16,
      "cloud: not an unorganized cloud of 16-byte points");
    require(
      cloud.row_step == 16 * static_cast<std::uint64_t>(cloud.width),
      "cloud: row_step is not 16 x width");
    require(
      cloud.data.size() == static_cast<std::uint64_t>(cloud.row_step) * cloud.height,
      "cloud: data size is not row_step x height");
    require(cloud.width <= max_points, "cloud: more points than pixels");
  }

  /// Where camera 1 measured depth (read in place: host-order 16-bit), the published image keeps
  /// it.
  void check_measured_depth_kept(const tc::ImageMessage & completed) const
  {
    // An empty image may still claim billions of rows: nothing to compare, nothing to walk.
    if (bytes_per_depth_pixel(depth_1_.encoding) != 2 ||
      depth_1_.is_bigendian != tc::host_is_bigendian() || depth_1_.width == 0 ||
      depth_1_.height == 0)
    {
      return;
    }
    for (std::uint32_t row = 0; row < depth_1_.height; ++row) {
      for (std::uint32_t column = 0; column < depth_1_.width; ++column) {
        std::uint16_t measured;
        std::uint16_t published;
        std::memcpy(
          &measured,
          depth_1_.data + static_cast<std::size_t>(row) * depth_1_.step + 2u * column, 2);
        std::memcpy(
          &published,
          completed.data.data() + static_cast<std::size_t>(row) * completed.step + 2u * column, 2);
        require(
          measured == 0 || measured == published,
          "depth image: a measured pixel was not kept");
      }
    }
  }

  tc::ImageView depth_1_;
  tc::ImageView depth_2_;
  tc::ImageView rgb_1_;
  int published_ = 0;
  std::uint64_t completed_depth_points_ = 0;
};

class FixedClock : public tc::Clock
{
public:
  tc::Stamp now() override {return tc::Stamp{};}
};

void run_frame(FuzzedDataProvider & input, tc::FramePipeline & pipeline)
{
  FuzzedImage depth_1 = consume_header(input, Role::kDepth);
  FuzzedImage depth_2 = consume_header(input, Role::kDepth);
  FuzzedImage rgb_1 = consume_header(input, Role::kColour);
  fill_pixels(input, depth_1);
  fill_pixels(input, depth_2);
  fill_pixels(input, rgb_1);

  CheckingOutput output(depth_1.view(), depth_2.view(), rgb_1.view());
  FixedClock clock;
  try {
    pipeline.process(
      {depth_1.view(), depth_2.view()}, tc::ImageViewColorConverter(rgb_1.view()),
      clock, output);
  } catch (const tc::FrameError & error) {
    if (output.published() == 0) {
      require(
        !depth_readable(depth_1.view(), true) || !depth_readable(depth_2.view(), false),
        "readable depth images were rejected");
      return;
    }
    require(
      output.published() == 3,
      "a FrameError stopped the frame in a place other than the two documented ones");
    require(!colour_convertible(rgb_1.view()), "a convertible colour image was refused");
    return;
  } catch (const std::exception & error) {
    finding(std::string("foreign exception ") + typeid(error).name() + ": " + error.what());
  }
  require(output.published() == 5, "the frame ended without all five outputs");
  require(
    depth_readable(depth_1.view(), true) && depth_readable(depth_2.view(), false),
    "an unreadable depth image was accepted");
  require(colour_convertible(rgb_1.view()), "an unconvertible colour image was accepted");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t * data, std::size_t size)
{
  FuzzedDataProvider input(data, size);
  tc::CameraConfig config;
  config.arm_frame_id = "arm";
  config.extrinsic_1 = consume_extrinsic(input);
  config.extrinsic_2 = consume_extrinsic(input);
  config.intrinsics_1 = consume_intrinsics(input);
  config.intrinsics_2 = consume_intrinsics(input);
  tc::FramePipeline pipeline(config);
  // A second frame through the same pipeline exercises the buffers it keeps between frames.
  const int frames = input.ConsumeBool() ? 2 : 1;
  for (int frame = 0; frame < frames; ++frame) {
    run_frame(input, pipeline);
  }
  return 0;
}
