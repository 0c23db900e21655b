// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include <Eigen/LU>
#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>
#include <sstream>
#include <string>

#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"
#include "tavrinox_camera_convertor/geometry/point_transform.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

std::string printed(const ExtrinsicTransform & e1, const ExtrinsicTransform & e2)
{
  std::ostringstream out;
  print_extrinsics(out, e1, e2);
  return out.str();
}

TEST(ExtrinsicTransform, ZeroAnglesGiveIdentityWithNegativeZeroAndThreeCharacterFields)
{
  const ExtrinsicTransform e = make_extrinsic_transform({0.0f, 0.0f, 0.0f}, {0.1f, 0.2f, 0.3f});
  EXPECT_TRUE((e.topLeftCorner<3, 3>().isIdentity(0.0f)));
  EXPECT_TRUE(std::signbit(e(2, 0)));
  EXPECT_EQ(e(2, 0), 0.0f);
  EXPECT_FALSE(std::signbit(e(0, 1)));

  const std::string matrix =
    "  1   0   0 0.1\n"
    "  0   1   0 0.2\n"
    " -0   0   1 0.3\n"
    "  0   0   0   1";
  EXPECT_EQ(
    printed(e, e),
    "相机外参齐次变换矩阵camera_extrinsic_1: \n" + matrix + "\n"
    "相机外参齐次变换矩阵camera_extrinsic_2_: \n" + matrix + "\n");
}

TEST(ExtrinsicTransform, NinetyDegreesAboutZKeepsTheRoundedCosineAndWidensEveryField)
{
  const ExtrinsicTransform e = make_extrinsic_transform({0.0f, 0.0f, 90.0f}, {0.1f, 0.2f, 0.3f});
  const float c = static_cast<float>(std::cos(90.0 * 3.141592653589793 / 180.0));
  EXPECT_NE(c, 0.0f);
  EXPECT_EQ(e(0, 0), c);
  EXPECT_EQ(e(0, 1), -1.0f);
  EXPECT_EQ(e(1, 0), 1.0f);
  EXPECT_EQ(e(1, 1), c);
  EXPECT_TRUE(std::signbit(e(2, 0)));

  const std::string matrix =
    "6.12323e-17          -1           0         0.1\n"
    "          1 6.12323e-17           0         0.2\n"
    "         -0           0           1         0.3\n"
    "          0           0           0           1";
  const ExtrinsicTransform identity = make_extrinsic_transform(
    {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f,
      0.0f});
  const std::string text = printed(e, identity);
  EXPECT_EQ(
    text.substr(0, text.find("相机外参齐次变换矩阵camera_extrinsic_2_")),
    "相机外参齐次变换矩阵camera_extrinsic_1: \n" + matrix + "\n");
}

TEST(ExtrinsicTransform, EntriesAreRoundedFromDoublePrecisionOnce)
{
  const double rx = 17.5, ry = -33.25, rz = 101.0;
  const Eigen::Matrix3f r = euler_to_rotation(rx, ry, rz);
  const double a = rx * 3.141592653589793 / 180.0;
  const double b = ry * 3.141592653589793 / 180.0;
  const double g = rz * 3.141592653589793 / 180.0;
  EXPECT_EQ(
    r(0, 1),
    static_cast<float>(std::sin(a) * std::sin(b) * std::cos(g) - std::cos(a) * std::sin(g)));
  EXPECT_EQ(
    r(1, 2),
    static_cast<float>(std::cos(a) * std::sin(b) * std::sin(g) - std::sin(a) * std::cos(g)));
  EXPECT_EQ(r(2, 1), static_cast<float>(std::sin(a) * std::cos(b)));
  // Rz * Ry * Rx, so the matrix is orthonormal to float precision.
  EXPECT_TRUE((r * r.transpose()).isIdentity(1e-6f));
  EXPECT_NEAR(r.determinant(), 1.0f, 1e-6f);
}

TEST(ExtrinsicTransform, NinetyDegreesAboutYPutsMinusOneBelowAndTranslationUnchanged)
{
  const ExtrinsicTransform e =
    make_extrinsic_transform({0.0f, 90.0f, 0.0f}, {1250.0f, -0.5f, 3e-4f});
  EXPECT_EQ(e(2, 0), -1.0f);
  EXPECT_EQ(e(0, 3), 1250.0f);
  EXPECT_EQ(e(1, 3), -0.5f);
  EXPECT_EQ(e(2, 3), 3e-4f);
  EXPECT_EQ(e.row(3), Eigen::RowVector4f(0.0f, 0.0f, 0.0f, 1.0f));
}

TEST(ExtrinsicTransform, UnitXOfTheCameraLandsOnFirstColumnPlusTranslation)
{
  const ExtrinsicTransform e =
    make_extrinsic_transform({10.0f, -20.0f, 30.0f}, {0.4f, -0.1f, 0.9f});
  std::uint8_t record[16];
  PointTransform(e).apply(1.0f, 0.0f, 0.0f, record);
  float p[4];
  std::memcpy(p, record, sizeof p);
  EXPECT_FLOAT_EQ(p[0], e(0, 0) + 0.4f);
  EXPECT_FLOAT_EQ(p[1], e(1, 0) - 0.1f);
  EXPECT_FLOAT_EQ(p[2], e(2, 0) + 0.9f);
  EXPECT_EQ(p[3], 1.0f);
}

}  // namespace
}  // namespace tavrinox_camera_convertor
