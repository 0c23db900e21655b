// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "camera_model_check.hpp"

#include <cmath>
#include <sstream>
#include <string>

#include "tavrinox_camera_convertor/codec/cloud_codec_error.hpp"

namespace tavrinox_camera_convertor::detail
{
namespace
{

[[noreturn]] void refuse(std::string_view context, const std::string & what)
{
  throw CloudCodecError(std::string(context) + ": " + what);
}

std::string text_of(float value)
{
  std::ostringstream text;
  text.precision(9);
  text << value;
  return text.str();
}

}  // namespace

void require_codable_camera(
  const CameraIntrinsics & intrinsics, const ExtrinsicTransform & extrinsic,
  std::string_view context)
{
  const struct
  {
    const char * name;
    float value;
    bool focal;
  } values[] = {
    {"fx", intrinsics.fx, true}, {"fy", intrinsics.fy, true}, {"cx", intrinsics.cx, false},
    {"cy", intrinsics.cy, false}};
  for (const auto & entry : values) {
    if (!std::isfinite(entry.value) || (entry.focal && entry.value == 0.0f)) {
      refuse(
        context, std::string("intrinsic ") + entry.name + " = " + text_of(entry.value) +
        " cannot back-project (fx and fy must be finite and non-zero, cx and cy finite)");
    }
  }
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      if (!std::isfinite(extrinsic(i, j))) {
        refuse(
          context, "extrinsic entry (" + std::to_string(i) + ", " + std::to_string(j) + ") = " +
          text_of(extrinsic(i, j)) + " is not finite");
      }
    }
  }
  if (extrinsic(3, 0) != 0.0f || extrinsic(3, 1) != 0.0f || extrinsic(3, 2) != 0.0f ||
    extrinsic(3, 3) != 1.0f)
  {
    refuse(
      context, "the extrinsic's bottom row is " + text_of(extrinsic(3, 0)) + " " +
      text_of(extrinsic(3, 1)) + " " + text_of(extrinsic(3, 2)) + " " + text_of(extrinsic(3, 3)) +
      ", not 0 0 0 1: it is no camera-to-arm transform");
  }
}

}  // namespace tavrinox_camera_convertor::detail
