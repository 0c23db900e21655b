// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "offline_runner.hpp"

#include <yaml-cpp/exceptions.h>

#include <optional>
#include <utility>

#include <opencv2/imgproc.hpp>

#include "completion_statistics.hpp"
#include "frame_inputs.hpp"
#include "frame_processing.hpp"
#include "image_files.hpp"
#include "image_mat.hpp"
#include "preview.hpp"
#include "run_summary.hpp"
#include "runner_error.hpp"
#include "runner_failure.hpp"
#include "runner_options.hpp"
#include "sample_scene.hpp"
#include "sequence_frames.hpp"
#include "staged_output.hpp"
#include "tavrinox_camera_convertor/geometry/camera_config.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

/// Prints both matrices as the node does at start-up; yaml-cpp's own text names the fault.
CameraConfig load_config(const std::string & path, std::ostream & out)
{
  try {
    return load_camera_config(path, out);
  } catch (const YAML::Exception & error) {
    throw RunnerError("configuration file " + path + ": " + error.what());
  }
}

void stage_png(StagedOutput & staged, const std::string & name, const cv::Mat & pixels)
{
  const StagedOutput::File file = staged.stage(name);
  write_png_file(pixels, file.temporary, file.final_path);
}

void stage_pcd(StagedOutput & staged, const std::string & name, const CloudMessage & message)
{
  const StagedOutput::File file = staged.stage(name);
  write_pcd_file(message.cloud, file.temporary, file.final_path);
}

cv::Mat view_or_empty(const std::optional<ImageMessage> & image)
{
  return image ? mat_view_of(*image) : cv::Mat();
}

/// The outputs of one frame, all in `staged`, which the caller commits; returns what the
/// preview's cloud views left out, for the summary.
PreviewCoverage stage_frame_outputs(
  StagedOutput & staged, const FrameInputs & inputs, const FrameProducts & products,
  const CameraConfig & config)
{
  PreviewImages images;
  images.rgb_1 = mat_view_of(inputs.rgb_1);
  images.depth_1 = mat_view_of(inputs.depth_1);
  images.completed = mat_view_of(products.completed_depth);
  images.truth_1 = view_or_empty(inputs.truth_1);
  images.rgb_2 = view_or_empty(inputs.rgb_2);
  cv::Mat color_bgr;
  cv::cvtColor(mat_view_of(products.color), color_bgr, cv::COLOR_RGB2BGR);

  stage_pcd(staged, "cam1_cloud.pcd", products.cam1_cloud);
  stage_pcd(staged, "cam2_cloud.pcd", products.cam2_cloud);
  stage_pcd(staged, "converted_cloud.pcd", products.converted_cloud);
  stage_png(staged, "completed_depth.png", images.completed);
  stage_png(staged, "color.png", color_bgr);
  const Preview preview =
    render_preview(images, products.cam1_cloud.cloud, products.cam2_cloud.cloud, config);
  stage_png(staged, "preview.png", preview.picture);
  return {preview.top_view, preview.side_view};
}

/// The generated images, so the sample can be rerun from files.
void stage_sample_inputs(StagedOutput & staged, const FrameInputs & inputs)
{
  stage_png(staged, "inputs/depth1.png", mat_view_of(inputs.depth_1));
  stage_png(staged, "inputs/depth2.png", mat_view_of(inputs.depth_2));
  stage_png(staged, "inputs/rgb1.png", mat_view_of(inputs.rgb_1));
  stage_png(staged, "inputs/rgb2.png", mat_view_of(*inputs.rgb_2));
  stage_png(staged, "inputs/truth1.png", mat_view_of(*inputs.truth_1));
}

CompletionStatistics measure(const FrameInputs & inputs, const FrameProducts & products)
{
  return measure_completion(
    mat_view_of(inputs.depth_1), mat_view_of(products.completed_depth),
    view_or_empty(inputs.truth_1));
}

FrameInputs sample_inputs(const CameraConfig & config, const RunnerOptions & options)
{
  SampleScene scene = render_sample_scene(config, options.sample_width, options.sample_height);
  FrameInputs inputs;
  inputs.depth_1 = std::move(scene.depth_1);
  inputs.depth_2 = std::move(scene.depth_2);
  inputs.rgb_1 = std::move(scene.rgb_1);
  inputs.rgb_2 = std::move(scene.rgb_2);
  inputs.truth_1 = std::move(scene.truth_1);
  return inputs;
}

void run_single_frame(
  const RunnerOptions & options, const CameraConfig & config, std::ostream & out)
{
  const FrameInputs inputs = options.source == FrameSource::kSample ?
    sample_inputs(config, options) : read_frame_inputs(options.files);
  FramePipeline pipeline(config);
  SystemClock clock;
  const FrameProducts products = process_frame(pipeline, inputs, clock);
  const CompletionStatistics statistics = measure(inputs, products);

  StagedOutput staged(options.output_directory);
  const PreviewCoverage views = stage_frame_outputs(staged, inputs, products, config);
  if (options.source == FrameSource::kSample) {
    stage_sample_inputs(staged, inputs);
  }
  staged.commit();
  print_frame_summary(out, inputs, products, statistics, views);
  out << "outputs: " << options.output_directory << std::endl;
}

void run_sequence(const RunnerOptions & options, const CameraConfig & config, std::ostream & out)
{
  const std::vector<SequenceFrame> frames = list_sequence_frames(options.sequence_directory);
  FramePipeline pipeline(config);
  SystemClock clock;
  std::vector<FrameTimings> timings;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const FrameInputs inputs = read_frame_inputs(frames[i].files);
    const FrameProducts products = process_frame(pipeline, inputs, clock);
    const CompletionStatistics statistics = measure(inputs, products);
    StagedOutput staged(std::filesystem::path(options.output_directory) / frames[i].id);
    const PreviewCoverage views = stage_frame_outputs(staged, inputs, products, config);
    staged.commit();
    timings.push_back(products.timings);
    out << frame_progress_line(
      i + 1, frames.size(), frames[i].id, statistics, products.timings,
      views) << std::endl;
  }
  print_timing_summary(out, timings);
  out << "outputs: " << options.output_directory << "/<frame>/" << std::endl;
}

}  // namespace

int run_offline_runner(
  const std::vector<std::string> & arguments, const std::string & default_config_path,
  std::ostream & out, std::ostream & err)
{
  try {
    const RunnerOptions options = parse_runner_options(arguments, default_config_path);
    if (options.show_help) {
      out << runner_usage();
      return 0;
    }
    const CameraConfig config = load_config(options.config_path, out);
    if (options.source == FrameSource::kSequence) {
      run_sequence(options, config, out);
    } else {
      run_single_frame(options, config, out);
    }
    return 0;
  } catch (...) {
    const RunnerFailure failure = describe_current_failure();
    out.flush();
    err << "tavrinox_offline_runner: " << failure.message << std::endl;
    return failure.exit_status;
  }
}

}  // namespace tavrinox_camera_convertor
