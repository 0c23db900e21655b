// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "cloud_codec_candidates.hpp"

#include <cstddef>
#include <cstring>

#include <opencv2/imgcodecs.hpp>

#include "difference_planes.hpp"
#include "median_edge_prediction.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace tavrinox_camera_convertor::bench
{
namespace
{

/// The cloud of packed millimetres, as a receiver of the image makes it.
void write_cloud(
  CandidateWorkbench & bench, const CandidateSource & source, const std::uint8_t * millimetres,
  std::size_t step, pcl::PCLPointCloud2 & out)
{
  ImageView view;
  view.width = source.depth.width();
  view.height = source.depth.height();
  view.encoding = "16UC1";
  view.is_bigendian = host_is_bigendian();
  view.step = static_cast<std::uint32_t>(step);
  view.data = millimetres;
  view.size = step * view.height;
  bench.writer.write(
    DepthPixels(view, "decoded", bench.scratch), source.camera.intrinsics,
    source.camera.extrinsic, out);
}

}  // namespace

const char * name_of(Candidate candidate)
{
  switch (candidate) {
    case Candidate::cloud_zstd1:
      return "cloud_zstd1";
    case Candidate::image_zstd1:
      return "image_zstd1";
    case Candidate::image_zstd3:
      return "image_zstd3";
    case Candidate::image_png1:
      return "image_png1";
    case Candidate::image_png3:
      return "image_png3";
    case Candidate::med_planes_zstd1:
      return "med_planes_zstd1";
    case Candidate::v1_left_planes_zstd1:
      return "v1_left_planes_zstd1";
    case Candidate::depth_payload:
      break;
  }
  return "depth_payload";
}

std::vector<std::uint8_t> packed_bytes(const DepthPixels & depth)
{
  std::vector<std::uint8_t> bytes(2 * static_cast<std::size_t>(depth.width()) * depth.height());
  for (std::uint32_t i = 0; i < depth.height(); ++i) {
    std::memcpy(
      bytes.data() + 2 * static_cast<std::size_t>(i) * depth.width(), depth.row(i),
      2 * static_cast<std::size_t>(depth.width()));
  }
  return bytes;
}

void encode(
  CandidateWorkbench & bench, Candidate candidate, const CandidateSource & source,
  std::vector<std::uint8_t> & out)
{
  const DepthPixels & depth = source.depth;
  switch (candidate) {
    case Candidate::cloud_zstd1:
      bench.encoder.encode_cloud_data(source.cloud, out);
      return;
    case Candidate::image_zstd1:
    case Candidate::image_zstd3:
      out.clear();
      append_zstd_frame(
        candidate == Candidate::image_zstd1 ? *bench.zstd_1 : *bench.zstd_3,
        source.packed.data(), source.packed.size(), out);
      return;
    case Candidate::image_png1:
    case Candidate::image_png3: {
        // A header over the pixels, which imencode only reads.
        const cv::Mat image(
          static_cast<int>(depth.height()), static_cast<int>(depth.width()), CV_16UC1,
          const_cast<std::uint8_t *>(source.packed.data()));
        cv::imencode(
          ".png", image, out,
          {cv::IMWRITE_PNG_COMPRESSION, candidate == Candidate::image_png1 ? 1 : 3});
        return;
      }
    case Candidate::med_planes_zstd1:
      bench.planes.resize(source.packed.size());
      median_edge_planes(
        reinterpret_cast<const std::uint16_t *>(source.packed.data()), depth.width(),
        depth.height(), bench.planes.data());
      out.clear();
      append_zstd_frame(*bench.zstd_1, bench.planes.data(), bench.planes.size(), out);
      return;
    case Candidate::v1_left_planes_zstd1:
      bench.planes.resize(source.packed.size());
      difference_planes(
        reinterpret_cast<const std::uint16_t *>(source.packed.data()), depth.width(),
        depth.height(), Neighbour::left, bench.planes.data());
      out.clear();
      append_zstd_frame(*bench.zstd_1_checked, bench.planes.data(), bench.planes.size(), out);
      return;
    case Candidate::depth_payload:
      bench.encoder.encode_depth(depth, source.camera.intrinsics, source.camera.extrinsic, out);
      return;
  }
}

void decode(
  CandidateWorkbench & bench, Candidate candidate, const CandidateSource & source,
  const std::vector<std::uint8_t> & in, pcl::PCLPointCloud2 & out)
{
  const std::size_t row_bytes = 2 * static_cast<std::size_t>(source.depth.width());
  const std::size_t image_bytes = row_bytes * source.depth.height();
  switch (candidate) {
    case Candidate::cloud_zstd1:
    case Candidate::depth_payload:
      bench.decoder.decode(in, source.cloud, out);
      return;
    case Candidate::image_zstd1:
    case Candidate::image_zstd3:
      decompress_zstd_frame(*bench.unzstd, in.data(), in.size(), image_bytes, "image", bench.bytes);
      write_cloud(bench, source, bench.bytes.data(), row_bytes, out);
      return;
    case Candidate::image_png1:
    case Candidate::image_png3: {
        const cv::Mat image = cv::imdecode(in, cv::IMREAD_UNCHANGED);
        write_cloud(bench, source, image.data, image.step, out);
        return;
      }
    case Candidate::med_planes_zstd1:
    case Candidate::v1_left_planes_zstd1:
      decompress_zstd_frame(
        *bench.unzstd, in.data(), in.size(), image_bytes, "planes",
        bench.bytes);
      bench.millimetres.resize(image_bytes / 2);
      if (candidate == Candidate::med_planes_zstd1) {
        median_edge_depth(
          bench.bytes.data(), source.depth.width(), source.depth.height(),
          bench.millimetres.data());
      } else {
        difference_planes_depth(
          bench.bytes.data(), source.depth.width(), source.depth.height(), Neighbour::left,
          bench.millimetres.data());
      }
      write_cloud(
        bench, source, reinterpret_cast<const std::uint8_t *>(bench.millimetres.data()), row_bytes,
        out);
      return;
  }
}

}  // namespace tavrinox_camera_convertor::bench
