// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tavrinox_camera_convertor/concurrency/helper_thread.hpp"
#include "tavrinox_camera_convertor/geometry/arm_cloud.hpp"
#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "tavrinox_camera_convertor/geometry/cloud_encoding.hpp"
#include "tavrinox_camera_convertor/geometry/frame_cameras.hpp"
#include "tavrinox_camera_convertor/geometry/hole_mask.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"
#include "tavrinox_camera_convertor/geometry/instruction_set.hpp"
#include "tavrinox_camera_convertor/geometry/pixel_rays.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_output.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_timings.hpp"
#include "tavrinox_camera_convertor/pipeline/output_stamps.hpp"

namespace tavrinox_camera_convertor
{

/// The depth images of one paired set; camera 2's colour image takes part in pairing only.
struct DepthPair
{
  ImageView depth_1;
  ImageView depth_2;
};

/// @brief Threads a frame uses unless told otherwise: two where the processor has two cores.
unsigned default_frame_threads();

/**
 * @brief The whole per-frame work of the converter, ROS-free.
 *
 * For one paired set it publishes, in order: camera 1's and camera 2's clouds in the arm
 * frame, camera 1's completed depth image ("16UC1"), camera 1's colour image ("rgb8", both
 * images sharing one stamp), and the arm-frame back-projection of the completed image.
 * Buffers are kept between frames, so a pipeline serves one frame at a time.
 */
class FramePipeline
{
public:
  /**
   * @brief Takes the calibration and frame id from `config`; topics are not used here.
   * @param instruction_set what the per-pixel loops use; every choice gives the same outputs
   * @param threads 1, or 2 to make camera 2's cloud on a second thread while camera 1's is made;
   *        both give the same outputs
   * @throws std::invalid_argument when this build or processor cannot run `instruction_set`, or
   *         for another number of threads
   */
  explicit FramePipeline(
    const CameraConfig & config,
    InstructionSet instruction_set = fastest_instruction_set(),
    unsigned threads = default_frame_threads());

  /**
   * @brief Runs one frame.
   *
   * Both depth images are checked before anything is published. A failure after that (the
   * colour conversion, an output) leaves the earlier outputs published and makes no later one.
   * Only the outputs that `output.wanted()` names are made; what each of them receives, in
   * which order and with which stamps, does not depend on the others being wanted. The colour
   * conversion runs whenever the colour image or the converted cloud is wanted.
   * @throws FrameError for a depth image that cannot be read (nothing published)
   * @throws whatever `color` or `output` throw
   */
  void process(
    const DepthPair & depth, const ColorConverter & color, Clock & clock,
    FrameOutput & output);

  /**
   * @brief Runs one frame with the cameras as this set saw them, stamped by `stamps`.
   *
   * The configuration's cameras with ClockStamps give exactly what the overload above gives.
   * A camera whose lens bends back-projects through each pixel's undistorted ray, computed once
   * per model and image size, and camera 1's image is rendered through its lens.
   * @throws as the overload above; FrameError when a lens cannot be undistorted
   */
  void process(
    const DepthPair & depth, const FrameCameras & cameras, const ColorConverter & color,
    OutputStamps & stamps, FrameOutput & output);

  /**
   * @brief The frame id both images carry from the next frame on; empty (no frame) by default.
   *        The clouds always carry the configuration's arm frame.
   */
  void set_image_frame_id(std::string frame_id) {image_frame_id_ = std::move(frame_id);}

  /// @brief Stage times of the last frame that reached its end.
  const FrameTimings & last_timings() const {return timings_;}

private:
  /// One camera of the frame: its model, pose and, for a bending lens, its pixels' rays.
  struct CameraView
  {
    const CameraModel & model;
    const ExtrinsicTransform & extrinsic;
    const PixelRays * rays;
  };

  /**
   * @brief Both cameras' clouds, as wanted, with their points rendered into `target` if given:
   *        camera 1's first, then camera 2's, or both at once with two threads.
   */
  void write_camera_clouds(
    OutputSet wanted, const DepthPixels & depth_1, const DepthPixels & depth_2,
    const DepthRenderTarget * target, const std::array<CameraView, 2> & cameras);


  /// @brief Writes the cloud of `kind` if wanted, or only renders its points into `target`.
  static void write_or_render(
    ArmCloudWriter & writer, OutputKind kind, OutputSet wanted, const DepthPixels & depth,
    const CameraView & camera, CloudMessage & message, const DepthRenderTarget * target);

  /// @brief The rays of `model` for `depth`'s size, or nullptr for a lens that does not bend.
  static const PixelRays * rays_for(
    const CameraModel & model, const DepthPixels & depth, PixelRays & rays);

  /// @brief Stamps and frames the cloud of `kind` and hands it to `output`, if wanted.
  void publish_cloud_if_wanted(
    OutputKind kind, OutputSet wanted, OutputStamps & stamps,
    FrameOutput & output);

  CloudMessage & cloud_message(OutputKind kind);

  CameraConfig config_;
  std::string image_frame_id_;
  FrameCameras configured_;
  ExtrinsicTransform arm_to_camera_1_of_;  ///< the extrinsic arm_to_camera_1_ was inverted from
  Eigen::Matrix4f arm_to_camera_1_;
  PixelRays rays_1_;
  PixelRays rays_2_;
  ArmCloudWriter clouds_;
  ArmCloudWriter clouds_beside_;  ///< camera 2's, on the helper thread
  std::unique_ptr<HelperThread> helper_;  ///< none with one thread
  ImageMessage camera_2_projection_;  ///< camera 2's points rendered apart, laid over afterwards
  HoleMask holes_1_;
  std::vector<std::uint16_t> scratch_1_;
  std::vector<std::uint16_t> scratch_2_;
  std::vector<std::uint16_t> scratch_completed_;
  CloudMessage cam1_cloud_;
  CloudMessage cam2_cloud_;
  CloudMessage converted_cloud_;
  ImageMessage depth_image_;
  ImageMessage color_image_;
  FrameTimings timings_;
};

}  // namespace tavrinox_camera_convertor
