// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Arbitrary clouds, camera positions and panel sizes through the pictures: the cloud views,
// the offline runner's preview and the calibration check's before/after picture. A picture
// must come out at its size, framed by the framing rule whatever the values (NaN, infinities,
// 1e30, all points alike, none at all, headers that lie), and in time bounded by its pixels
// and points: libFuzzer's -timeout makes anything slower a finding.
#include <fuzzer/FuzzedDataProvider.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "calibration_picture.hpp"
#include "cloud_points.hpp"
#include "cloud_view.hpp"
#include "fuzz_finding.hpp"
#include "preview.hpp"
#include "tavrinox_camera_convertor/geometry/cloud_encoding.hpp"
#include "view_grid.hpp"
#include "view_window.hpp"

namespace
{

namespace tc = tavrinox_camera_convertor;
using tc::fuzz::finding;
using tc::fuzz::require;

// These bounds only keep one input within milliseconds; the values are what is fuzzed. Clouds
// stay below the size for which the sanitizer's allocator maps fresh pages, which costs more
// than drawing them.
constexpr std::size_t kMostListedRecords = 1000;
constexpr std::size_t kMostAlikeRecords = 4000;
// Panels up to 188 x 164 pixels keep every buffer of a view below that size too.
constexpr int kMostPanelGrowth = 124;
constexpr int kMostImageSide = 24;
constexpr int kMostMapSide = 96;
// frame_view samples at most this many records; up to it, it reads every one.
constexpr std::size_t kEveryRecordFramed = 50000;

/// A coordinate: one that breaks arithmetic, any float, any bit pattern, or a workspace's.
float consume_value(FuzzedDataProvider & input)
{
  constexpr float kInfinity = std::numeric_limits<float>::infinity();
  constexpr std::array<float, 16> kEdges = {
    0.0f, -0.0f, std::numeric_limits<float>::quiet_NaN(), kInfinity, -kInfinity, 1e30f, -1e30f,
    std::numeric_limits<float>::max(), std::numeric_limits<float>::lowest(), 1e10f, 1e6f,
    1.0000001e6f, 1e-30f, std::numeric_limits<float>::denorm_min(), 0.5f, -2.0f};
  switch (input.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
      return kEdges[input.ConsumeIntegralInRange<std::size_t>(0, kEdges.size() - 1)];
    case 1:
      return input.ConsumeFloatingPoint<float>();
    case 2: {
        const auto bits = input.ConsumeIntegral<std::uint32_t>();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
      }
    default:
      return input.ConsumeFloatingPointInRange<float>(-2.0f, 2.0f);
  }
}

Eigen::Vector3f consume_position(FuzzedDataProvider & input)
{
  const float x = consume_value(input);
  const float y = consume_value(input);
  return {x, y, consume_value(input)};
}

/// The points of a cloud: none, a list, one point many times over, or a cluster with strays.
pcl::PointCloud<pcl::PointXYZ> consume_points(FuzzedDataProvider & input)
{
  pcl::PointCloud<pcl::PointXYZ> points;
  const auto add = [&points](const Eigen::Vector3f & p) {points.push_back({p.x(), p.y(), p.z()});};
  switch (input.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
      break;
    case 1: {
        const auto count = input.ConsumeIntegralInRange<std::size_t>(0, kMostListedRecords);
        for (std::size_t i = 0; i < count && input.remaining_bytes() > 0; ++i) {
          add(consume_position(input));
        }
        break;
      }
    case 2: {
        const Eigen::Vector3f alike = consume_position(input);
        const auto count = input.ConsumeIntegralInRange<std::size_t>(1, kMostAlikeRecords);
        for (std::size_t i = 0; i < count; ++i) {
          add(alike);
        }
        break;
      }
    default: {
        // A bulk around a centre with a spread, and a few strays from the list above.
        const Eigen::Vector3f centre = consume_position(input);
        const float spread = consume_value(input);
        const auto count = input.ConsumeIntegralInRange<std::size_t>(1, kMostAlikeRecords);
        for (std::size_t i = 0; i < count; ++i) {
          const float t = static_cast<float>(i % 97) / 97.0f - 0.5f;
          const float u = static_cast<float>(i / 97 % 89) / 89.0f - 0.5f;
          add(centre + spread * Eigen::Vector3f(t, u, t * u));
        }
        const auto strays = input.ConsumeIntegralInRange<std::size_t>(0, 16);
        for (std::size_t i = 0; i < strays; ++i) {
          add(consume_position(input));
        }
        break;
      }
  }
  return points;
}

/// A header that may lie about the records its data holds.
void spoil_header(FuzzedDataProvider & input, pcl::PCLPointCloud2 & cloud)
{
  switch (input.ConsumeIntegralInRange<int>(0, 15)) {
    case 0:
      cloud.width += input.ConsumeIntegralInRange<std::uint32_t>(1, 1000);
      break;
    case 1:
      cloud.point_step = input.ConsumeIntegralInRange<std::uint32_t>(0, 20);
      break;
    case 2:
      cloud.fields.pop_back();
      break;
    case 3:
      cloud.fields[input.ConsumeIntegralInRange<std::size_t>(0, 2)].datatype =
        pcl::PCLPointField::FLOAT64;
      break;
    case 4:
      cloud.fields[input.ConsumeIntegralInRange<std::size_t>(0, 2)].offset =
        input.ConsumeIntegral<std::uint32_t>();
      break;
    case 5:
      cloud.fields[2].name = "x";
      break;
    case 6:
      cloud.width = input.ConsumeIntegral<std::uint32_t>();
      cloud.height = input.ConsumeIntegral<std::uint32_t>();
      break;
    default:
      break;
  }
}

struct FuzzedCloud
{
  pcl::PCLPointCloud2 cloud;
  pcl::PointCloud<pcl::PointXYZ> points;  ///< what the data holds
  bool honest = true;                      ///< the header describes the data
};

bool same_fields(
  const std::vector<pcl::PCLPointField> & a, const std::vector<pcl::PCLPointField> & b)
{
  return std::equal(
    a.begin(), a.end(), b.begin(), b.end(),
    [](const pcl::PCLPointField & f, const pcl::PCLPointField & g) {
      return f.name == g.name && f.offset == g.offset && f.datatype == g.datatype &&
      f.count == g.count;
    });
}

FuzzedCloud consume_cloud(FuzzedDataProvider & input)
{
  FuzzedCloud fuzzed;
  fuzzed.points = consume_points(input);
  tc::encode_cloud(fuzzed.points, fuzzed.cloud);
  const pcl::PCLPointCloud2 before = fuzzed.cloud;
  spoil_header(input, fuzzed.cloud);
  fuzzed.honest = fuzzed.cloud.width == before.width && fuzzed.cloud.height == before.height &&
    fuzzed.cloud.point_step == before.point_step &&
    same_fields(fuzzed.cloud.fields, before.fields);
  return fuzzed;
}

bool framable_on(const pcl::PointXYZ & point, const tc::ViewAxes & axes)
{
  return tc::is_framable(point.data[axes.horizontal]) && tc::is_framable(point.data[axes.vertical]);
}

/// The cloud of only those points the framing may use.
pcl::PCLPointCloud2 framable_only(const FuzzedCloud & fuzzed, const tc::ViewAxes & axes)
{
  pcl::PointCloud<pcl::PointXYZ> kept;
  for (const pcl::PointXYZ & point : fuzzed.points) {
    if (framable_on(point, axes)) {
      kept.push_back(point);
    }
  }
  pcl::PCLPointCloud2 cloud;
  tc::encode_cloud(kept, cloud);
  return cloud;
}

bool same_window(const tc::ViewWindow & a, const tc::ViewWindow & b)
{
  return a.low_h == b.low_h && a.low_v == b.low_v && a.span_h == b.span_h && a.span_v == b.span_v;
}

void check_cloud_view(
  const std::array<FuzzedCloud, 2> & clouds, const std::array<Eigen::Vector3f, 2> & cameras,
  const tc::ViewAxes & axes, cv::Size panel)
{
  const tc::ViewWindow window = tc::frame_view(clouds[0].cloud, clouds[1].cloud, cameras, axes);
  require(std::isfinite(window.low_h) && std::isfinite(window.low_v), "window not finite");
  require(
    window.span_h > 0.0 && window.span_v > 0.0 && std::isfinite(window.span_h) &&
    std::isfinite(window.span_v), "window without a finite positive size");
  const double step = tc::grid_step(std::max(window.span_h, window.span_v));
  require(
    tc::grid_values(window.low_h, window.span_h, step).size() <=
    static_cast<std::size_t>(tc::kMostGridIntervals + 1), "too many grid lines");

  // Points the framing may not use change nothing.
  const bool every_record_framed = clouds[0].points.size() <= kEveryRecordFramed &&
    clouds[1].points.size() <= kEveryRecordFramed;
  if (clouds[0].honest && clouds[1].honest && every_record_framed) {
    const tc::ViewWindow usable = tc::frame_view(
      framable_only(clouds[0], axes), framable_only(clouds[1], axes), cameras, axes);
    require(same_window(window, usable), "unusable points moved the window");
  }

  const bool too_small =
    panel.width < tc::kLeastCloudViewWidth || panel.height < tc::kLeastCloudViewHeight;
  try {
    const tc::CloudView view =
      tc::draw_cloud_view(clouds[0].cloud, clouds[1].cloud, cameras, axes, panel);
    require(!too_small, "a panel below the least size was drawn");
    require(view.image.size() == panel && view.image.type() == CV_8UC3, "view of another size");
    for (std::size_t c = 0; c < clouds.size(); ++c) {
      const std::size_t records = tc::readable_points(clouds[c].cloud);
      require(view.coverage.points[c] == records, "points miscounted");
      require(view.coverage.outside[c] <= records, "more points outside than there are");
      if (clouds[c].honest) {
        const auto unusable = static_cast<std::size_t>(std::count_if(
            clouds[c].points.begin(),
            clouds[c].points.end(), [&](const pcl::PointXYZ & p) {return !framable_on(p, axes);}));
        require(view.coverage.outside[c] >= unusable, "an unusable point was drawn");
      }
      const bool finite = std::isfinite(cameras[c][axes.horizontal]) &&
        std::isfinite(cameras[c][axes.vertical]);
      require(finite || !view.coverage.camera_inside[c], "a camera at NaN or infinity was drawn");
    }
  } catch (const std::invalid_argument &) {
    require(too_small, "a panel of the least size or more was refused");
  }
}

cv::Mat consume_image(FuzzedDataProvider & input, cv::Size size, int type)
{
  cv::Mat image(size, type);
  const std::vector<std::uint8_t> bytes = input.ConsumeBytes<std::uint8_t>(
    image.total() * image.elemSize());
  std::copy(bytes.begin(), bytes.end(), image.data);
  std::fill(image.data + bytes.size(), image.data + image.total() * image.elemSize(), 0);
  return image;
}

tc::ExtrinsicTransform consume_extrinsic(FuzzedDataProvider & input)
{
  tc::ExtrinsicTransform extrinsic = tc::ExtrinsicTransform::Identity();
  extrinsic.block<3, 1>(0, 3) = consume_position(input);
  if (input.ConsumeBool()) {
    for (int row = 0; row < 3; ++row) {
      for (int column = 0; column < 3; ++column) {
        extrinsic(row, column) = consume_value(input);
      }
    }
  }
  return extrinsic;
}

tc::CameraConfig consume_config(FuzzedDataProvider & input)
{
  tc::CameraConfig config;
  config.extrinsic_1 = consume_extrinsic(input);
  config.extrinsic_2 = consume_extrinsic(input);
  for (tc::CameraIntrinsics * k : {&config.intrinsics_1, &config.intrinsics_2}) {
    *k = {consume_value(input), consume_value(input), consume_value(input), consume_value(input)};
  }
  return config;
}

void check_preview(FuzzedDataProvider & input, const std::array<FuzzedCloud, 2> & clouds)
{
  const cv::Size size(input.ConsumeIntegralInRange<int>(1, kMostImageSide),
    input.ConsumeIntegralInRange<int>(1, kMostImageSide));
  tc::PreviewImages images;
  images.rgb_1 = consume_image(input, size, CV_8UC3);
  images.depth_1 = consume_image(input, size, CV_16UC1);
  images.completed = consume_image(input, size, CV_16UC1);
  if (input.ConsumeBool()) {
    images.truth_1 = consume_image(input, size, CV_16UC1);
  } else if (input.ConsumeBool()) {
    images.rgb_2 = consume_image(input, size, CV_8UC3);
  }
  const tc::Preview preview =
    tc::render_preview(images, clouds[0].cloud, clouds[1].cloud, consume_config(input));
  require(!preview.picture.empty() && preview.picture.type() == CV_8UC3, "no preview");
  require(preview.top_view.points[0] == tc::readable_points(clouds[0].cloud), "preview counts");
}

tc::CalibrationFigures consume_figures(FuzzedDataProvider & input)
{
  tc::CalibrationFigures figures;
  figures.agreement.points = input.ConsumeIntegral<std::uint32_t>();
  figures.agreement.overlap_points = input.ConsumeIntegral<std::uint32_t>();
  figures.agreement.median_mm = consume_value(input);
  figures.agreement.p90_mm = consume_value(input);
  const auto overlap = input.ConsumeIntegralInRange<std::size_t>(0, kMostListedRecords);
  for (std::size_t i = 0; i < overlap && input.remaining_bytes() > 0; ++i) {
    figures.agreement.overlap.push_back({consume_position(input), consume_value(input)});
  }
  figures.registered_camera = input.ConsumeBool() ? 1 : 2;
  figures.correction.correction.block<3, 1>(0, 3) = consume_position(input).cast<double>();
  figures.shift.median_mm = consume_value(input);
  figures.shift.p90_mm = consume_value(input);
  return figures;
}

void check_calibration_picture(
  FuzzedDataProvider & input, const std::array<FuzzedCloud, 2> & clouds)
{
  std::vector<tc::PictureRow> rows;
  const int count = input.ConsumeIntegralInRange<int>(1, 2);
  for (int i = 0; i < count; ++i) {
    tc::PictureRow row;
    row.title = i == 0 ? "before: as configured" : "after: camera 2 refined";
    row.clouds = {clouds[0].cloud, clouds[1].cloud};
    row.config = consume_config(input);
    row.image_size_1 = cv::Size(
      input.ConsumeIntegralInRange<int>(-4, kMostMapSide),
      input.ConsumeIntegralInRange<int>(-4, kMostMapSide));
    row.figures = consume_figures(input);
    rows.push_back(std::move(row));
  }
  const cv::Mat picture = tc::draw_calibration_picture(rows);
  require(!picture.empty() && picture.type() == CV_8UC3, "no calibration picture");
  require(picture.rows % count == 0, "rows of different heights");
}

std::uint32_t fnv1a(const std::uint8_t * data, std::size_t size)
{
  std::uint32_t hash = 2166136261u;
  for (std::size_t i = 0; i < size; ++i) {
    hash = (hash ^ data[i]) * 16777619u;
  }
  return hash;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t * data, std::size_t size)
{
  FuzzedDataProvider input(data, size);
  const std::array<FuzzedCloud, 2> clouds = {consume_cloud(input), consume_cloud(input)};
  const std::array<Eigen::Vector3f, 2> cameras = {consume_position(input), consume_position(input)};
  const std::array<tc::ViewAxes, 3> views = {
    tc::ViewAxes{0, 1, "x", "y"}, tc::ViewAxes{0, 2, "x", "z"}, tc::ViewAxes{1, 2, "y", "z"}};
  const tc::ViewAxes & axes = views[input.ConsumeIntegralInRange<std::size_t>(0, views.size() - 1)];
  const cv::Size panel(
    tc::kLeastCloudViewWidth - 4 + input.ConsumeIntegralInRange<int>(0, kMostPanelGrowth),
    tc::kLeastCloudViewHeight - 4 + input.ConsumeIntegralInRange<int>(0, kMostPanelGrowth));
  try {
    check_cloud_view(clouds, cameras, axes, panel);
    // The whole pictures take megabytes, each a thousand times a view's cost with the
    // sanitizers: one input in 1024 draws one of them, chosen by a hash of all its bytes, so
    // that the inputs a picture made interesting do not make pictures the rule by mutation.
    switch (fnv1a(data, size) % 2048) {
      case 0:
        check_preview(input, clouds);
        break;
      case 1:
        check_calibration_picture(input, clouds);
        break;
      default:
        break;
    }
  } catch (const std::exception & error) {
    finding(std::string("unexpected exception: ") + error.what());
  }
  return 0;
}
