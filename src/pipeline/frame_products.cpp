// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/pipeline/frame_products.hpp"

#include <stdexcept>
#include <utility>

namespace tavrinox_camera_convertor
{

const CloudMessage & cloud_of(const FrameProducts & products, OutputKind kind)
{
  switch (kind) {
    case OutputKind::cam1_cloud:
      return products.cam1_cloud;
    case OutputKind::cam2_cloud:
      return products.cam2_cloud;
    case OutputKind::converted_cloud:
      return products.converted_cloud;
    default:
      throw std::invalid_argument("cloud_of: that output is an image");
  }
}

const ImageMessage & image_of(const FrameProducts & products, OutputKind kind)
{
  switch (kind) {
    case OutputKind::depth_image:
      return products.completed_depth;
    case OutputKind::color_image:
      return products.color;
    default:
      throw std::invalid_argument("image_of: that output is a cloud");
  }
}

KeepingOutput::KeepingOutput(FrameProducts & products, Keeping keeping, OutputSet wanted)
: products_(products), keeping_(keeping), wanted_(wanted)
{
}

template<typename Message>
void KeepingOutput::keep(OutputKind kind, Message & message, Message & kept)
{
  if (keeping_ == Keeping::take) {
    kept = std::move(message);
  } else {
    kept = message;
  }
  products_.published.push_back(kind);
}

void KeepingOutput::publish_cam1_cloud(CloudMessage & message)
{
  keep(OutputKind::cam1_cloud, message, products_.cam1_cloud);
}

void KeepingOutput::publish_cam2_cloud(CloudMessage & message)
{
  keep(OutputKind::cam2_cloud, message, products_.cam2_cloud);
}

void KeepingOutput::publish_depth_image(ImageMessage & message)
{
  keep(OutputKind::depth_image, message, products_.completed_depth);
}

void KeepingOutput::publish_color_image(ImageMessage & message)
{
  keep(OutputKind::color_image, message, products_.color);
}

void KeepingOutput::publish_converted_cloud(CloudMessage & message)
{
  keep(OutputKind::converted_cloud, message, products_.converted_cloud);
}

}  // namespace tavrinox_camera_convertor
