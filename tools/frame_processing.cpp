// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "frame_processing.hpp"

#include <utility>

#include "tavrinox_camera_convertor/color_conversion.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

/// Takes each published message's buffers, which the pipeline allows and rebuilds next frame.
class KeepingOutput : public FrameOutput
{
public:
  explicit KeepingOutput(FrameProducts & products) : products_(products) {}
  void publish_cam1_cloud(CloudMessage & message) override {products_.cam1_cloud = std::move(message);}
  void publish_cam2_cloud(CloudMessage & message) override {products_.cam2_cloud = std::move(message);}
  void publish_depth_image(ImageMessage & message) override {products_.completed_depth = std::move(message);}
  void publish_color_image(ImageMessage & message) override {products_.color = std::move(message);}
  void publish_converted_cloud(CloudMessage & message) override {products_.converted_cloud = std::move(message);}

private:
  FrameProducts & products_;
};

}  // namespace

FrameProducts process_frame(FramePipeline & pipeline, const FrameInputs & inputs, Clock & clock)
{
  FrameProducts products;
  KeepingOutput output(products);
  const ImageViewColorConverter color(view_of(inputs.rgb_1));
  pipeline.process({view_of(inputs.depth_1), view_of(inputs.depth_2)}, color, clock, output);
  products.timings = pipeline.last_timings();
  return products;
}

}  // namespace tavrinox_camera_convertor
