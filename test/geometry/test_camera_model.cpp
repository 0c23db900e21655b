// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Lenses as drivers describe them: rays that project back onto their pixels, OpenCV's forward
// model, and the camera infos and TF poses that describe no usable camera.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <opencv2/calib3d.hpp>

#include "tavrinox_camera_convertor/geometry/camera_frames.hpp"
#include "tavrinox_camera_convertor/geometry/camera_info.hpp"
#include "tavrinox_camera_convertor/geometry/frame_error.hpp"
#include "tavrinox_camera_convertor/geometry/pixel_rays.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

struct Lens
{
  const char * name;
  std::vector<double> d;
};

// Coefficients of the kind depth cameras ship: a mild plumb_bob, a wide-angle rational model, a
// fisheye.
const std::vector<Lens> kLenses = {
  {"plumb_bob", {0.12, -0.25, 0.0011, -0.0007, 0.09}},
  {"rational_polynomial", {0.52, -2.61, 0.0004, -0.0002, 1.45, 0.40, -2.44, 1.38}},
  {"equidistant", {-0.011, 0.046, -0.043, 0.012}},
};

CameraModel model_of(const Lens & lens)
{
  CameraModel model;
  model.intrinsics = {605.2f, 605.9f, 638.1f, 361.4f};
  model.distortion =
    distortion_from_camera_info(lens.name, lens.d.data(), lens.d.size(), "camera 1");
  return model;
}

TEST(CameraModel, EveryPixelsRayProjectsBackOntoThePixel)
{
  for (const Lens & lens : kLenses) {
    const CameraModel model = model_of(lens);
    PixelRays rays;
    // 1280 x 720 at this focal length sees 93 degrees across: corners far out in the lens.
    rays.assign(model, 1280, 720);
    double worst = 0.0;
    for (std::uint32_t v = 0; v < 720; ++v) {
      for (std::uint32_t u = 0; u < 1280; ++u) {
        // A ray scaled by a depth and projected as the renderer projects points.
        const float z = 1.25f;
        const float camera_x = rays.x_row(v)[u] * z;
        const float camera_y = rays.y_row(v)[u] * z;
        double x = static_cast<double>(camera_x) / z;
        double y = static_cast<double>(camera_y) / z;
        distort_normalised(model.distortion, x, y);
        worst = std::max(
          {worst, std::abs(model.intrinsics.fx * x + model.intrinsics.cx - u),
            std::abs(model.intrinsics.fy * y + model.intrinsics.cy - v)});
      }
    }
    EXPECT_LT(worst, 1e-3) << lens.name;
  }
}

TEST(CameraModel, ProjectsThroughTheLensAsOpenCvDoes)
{
  const std::vector<cv::Point3d> points = {{0.3, -0.2, 1.0}, {-0.45, 0.3, 0.9}, {0.01, 0.02, 2.0}};
  for (const Lens & lens : kLenses) {
    const CameraModel model = model_of(lens);
    const cv::Matx33d k(
      model.intrinsics.fx, 0, model.intrinsics.cx, 0, model.intrinsics.fy, model.intrinsics.cy, 0,
      0, 1);
    std::vector<cv::Point2d> expected;
    if (model.distortion.model == DistortionModel::equidistant) {
      cv::fisheye::projectPoints(points, expected, cv::Vec3d(), cv::Vec3d(), k, lens.d);
    } else {
      cv::projectPoints(points, cv::Vec3d(), cv::Vec3d(), k, lens.d, expected);
    }
    for (std::size_t i = 0; i < points.size(); ++i) {
      double x = points[i].x / points[i].z;
      double y = points[i].y / points[i].z;
      distort_normalised(model.distortion, x, y);
      EXPECT_NEAR(model.intrinsics.fx * x + model.intrinsics.cx, expected[i].x, 1e-9) << lens.name;
      EXPECT_NEAR(model.intrinsics.fy * y + model.intrinsics.cy, expected[i].y, 1e-9) << lens.name;
    }
  }
}

TEST(CameraModel, RefusesCameraInfosThatDescribeNoUsableCamera)
{
  struct Case
  {
    const char * broken;
    void (* mend)(PinholeCameraInfo &);
    const char * names;
  };
  const std::vector<Case> cases = {
    {"zero fx", [](PinholeCameraInfo & i) {i.k[0] = 0.0;}, "K[0] (fx)"},
    {"negative fy", [](PinholeCameraInfo & i) {i.k[4] = -500.0;}, "K[4] (fy)"},
    {"NaN fx", [](PinholeCameraInfo & i) {i.k[0] = std::numeric_limits<double>::quiet_NaN();},
      "K[0] (fx)"},
    {"skew", [](PinholeCameraInfo & i) {i.k[1] = 0.5;}, "K is not a camera matrix"},
    {"short D", [](PinholeCameraInfo & i) {i.d.resize(4);}, "D has 4 coefficients"},
    {"unknown model", [](PinholeCameraInfo & i) {i.distortion_model = "fov";}, "\"fov\""},
    {"NaN in D", [](PinholeCameraInfo & i) {i.d[2] = std::numeric_limits<double>::quiet_NaN();},
      "D[2]"},
    {"other size", [](PinholeCameraInfo & i) {i.width = 1280;}, "differs from the depth image"},
    {"binning", [](PinholeCameraInfo & i) {i.binning_x = 2;}, "binning"},
    {"region of interest", [](PinholeCameraInfo & i) {i.roi = {8, 8, 100, 100};}, "roi"},
  };
  for (const Case & c : cases) {
    PinholeCameraInfo info = pinhole_camera_info({500.0f, 500.0f, 320.0f, 240.0f}, 640, 480);
    c.mend(info);
    try {
      camera_model_from_info(info, 640, 480, "camera 2");
      ADD_FAILURE() << c.broken << " was accepted";
    } catch (const FrameError & error) {
      const std::string text = error.what();
      EXPECT_NE(text.find("camera 2"), std::string::npos) << c.broken << ": " << text;
      EXPECT_NE(text.find(c.names), std::string::npos) << c.broken << ": " << text;
    }
  }
  // Zeros, or nothing at all, are an ideal pinhole whatever the model's name.
  PinholeCameraInfo info = pinhole_camera_info({500.0f, 501.0f, 320.0f, 240.0f}, 640, 480);
  EXPECT_FALSE(camera_model_from_info(info, 640, 480, "camera 1").distortion.bends());
  info.distortion_model.clear();
  info.d.clear();
  const CameraModel model = camera_model_from_info(info, 640, 480, "camera 1");
  EXPECT_FALSE(model.distortion.bends());
  EXPECT_EQ(model.intrinsics.fy, 501.0f);
}

TEST(CameraModel, TakesPosesFromTfButNoBrokenOne)
{
  FramePose pose;
  pose.translation = {0.1, -0.2, 0.7};
  pose.rotation = {0.2, -0.1, 0.3, std::sqrt(1.0 - 0.14)};
  const ExtrinsicTransform extrinsic = extrinsic_of(pose, "camera 1");
  EXPECT_TRUE(extrinsic.cast<double>().isApprox(matrix_of(pose), 1e-7));
  EXPECT_EQ(extrinsic.row(3), Eigen::RowVector4f(0.0f, 0.0f, 0.0f, 1.0f));

  struct Case
  {
    FramePose pose;
    const char * names;
  };
  FramePose not_finite = pose;
  not_finite.translation[1] = std::numeric_limits<double>::quiet_NaN();
  FramePose long_quaternion = pose;
  long_quaternion.rotation[3] *= 1.2;
  FramePose nan_rotation = pose;
  nan_rotation.rotation[0] = std::numeric_limits<double>::infinity();
  for (const Case & c : std::vector<Case>{
        {not_finite, "translation"}, {long_quaternion, "quaternion has length"},
        {nan_rotation, "rotation is not finite"}})
  {
    try {
      extrinsic_of(c.pose, "camera 2");
      ADD_FAILURE() << c.names << " was accepted";
    } catch (const FrameError & error) {
      EXPECT_NE(std::string(error.what()).find("camera 2"), std::string::npos);
      EXPECT_NE(std::string(error.what()).find(c.names), std::string::npos) << error.what();
    }
  }
}

}  // namespace
}  // namespace tavrinox_camera_convertor
