// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/image.hpp"

#include <cstring>

namespace tavrinox_camera_convertor
{

bool host_is_bigendian()
{
  const std::uint16_t probe = 1;
  std::uint8_t first_byte = 0;
  std::memcpy(&first_byte, &probe, 1);
  return first_byte == 0;
}

ImageView view_of(const ImageMessage & image)
{
  ImageView view;
  view.height = image.height;
  view.width = image.width;
  view.encoding = image.encoding;
  view.is_bigendian = image.is_bigendian != 0;
  view.step = image.step;
  view.data = image.data.data();
  view.size = image.data.size();
  return view;
}

}  // namespace tavrinox_camera_convertor
