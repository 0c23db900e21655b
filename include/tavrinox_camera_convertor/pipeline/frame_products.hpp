// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <vector>

#include "tavrinox_camera_convertor/geometry/cloud_encoding.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_output.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_timings.hpp"
#include "tavrinox_camera_convertor/pipeline/output_set.hpp"

namespace tavrinox_camera_convertor
{

/// What one frame published, as it was handed over.
struct FrameProducts
{
  CloudMessage cam1_cloud;
  CloudMessage cam2_cloud;
  ImageMessage completed_depth;  ///< "16UC1", camera 1's size
  ImageMessage color;            ///< "rgb8"
  CloudMessage converted_cloud;
  std::vector<OutputKind> published;  ///< the outputs handed over, in their order
  FrameTimings timings;               ///< the pipeline's stage times, filled by whoever ran it
};

/// @brief The cloud message of `kind` (camera 1, camera 2 or converted) in `products`.
const CloudMessage & cloud_of(const FrameProducts & products, OutputKind kind);

/// @brief The image message of `kind` (completed depth or colour) in `products`.
const ImageMessage & image_of(const FrameProducts & products, OutputKind kind);

/// How a KeepingOutput keeps a message.
enum class Keeping
{
  copy,  ///< a copy: the pipeline keeps its buffers, as it does with a real publisher
  take,  ///< its buffers, which the pipeline then makes anew for the next frame
};

/// Keeps what a frame publishes in a FrameProducts, and names the outputs it wants.
class KeepingOutput : public FrameOutput
{
public:
  /// @brief Keeps into `products`, which must outlive this output.
  explicit KeepingOutput(
    FrameProducts & products, Keeping keeping = Keeping::copy, OutputSet wanted = OutputSet::all());

  OutputSet wanted() const override {return wanted_;}
  void publish_cam1_cloud(CloudMessage & message) override;
  void publish_cam2_cloud(CloudMessage & message) override;
  void publish_depth_image(ImageMessage & message) override;
  void publish_color_image(ImageMessage & message) override;
  void publish_converted_cloud(CloudMessage & message) override;

private:
  template<typename Message>
  void keep(OutputKind kind, Message & message, Message & kept);

  FrameProducts & products_;
  Keeping keeping_;
  OutputSet wanted_;
};

}  // namespace tavrinox_camera_convertor
