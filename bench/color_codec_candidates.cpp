// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "color_codec_candidates.hpp"

#include <cstring>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

namespace tavrinox_camera_convertor::bench
{
namespace
{

ZstdTuning tuning_of(ColorCandidate candidate)
{
  ZstdTuning tuning;
  switch (candidate) {
    case ColorCandidate::code_zstd_m1:
      return ZstdTuning{-1, true};
    case ColorCandidate::code_zstd_m20_tuned:
      tuning = kColorZstdTuning;
      tuning.level = -20;
      return tuning;
    case ColorCandidate::code_huffman_only:
      return ZstdTuning{-1000, true};
    case ColorCandidate::code_zstd1_2_threads:
      tuning.workers = 2;
      return tuning;
    case ColorCandidate::code_zstd1:
    case ColorCandidate::png1:
      return tuning;  // level 1, zstd's choice of the rest
    case ColorCandidate::code_tuned:
      break;
  }
  return kColorZstdTuning;
}

}  // namespace

const char * name_of(ColorCandidate candidate)
{
  switch (candidate) {
    case ColorCandidate::png1:
      return "png1 (cv::imencode)";
    case ColorCandidate::code_zstd1:
      return "code_zstd1";
    case ColorCandidate::code_zstd_m1:
      return "code_zstd-1_huffman";
    case ColorCandidate::code_tuned:
      return "code_zstd-5_h12_m7";
    case ColorCandidate::code_zstd_m20_tuned:
      return "code_zstd-20_h12_m7";
    case ColorCandidate::code_huffman_only:
      return "code_huffman_only";
    case ColorCandidate::code_zstd1_2_threads:
      break;
  }
  return "code_zstd1_2_threads";
}

ColorWorkbench::ColorWorkbench(ColorCandidate candidate)
: candidate_(candidate), encoder_(tuning_of(candidate))
{
}

void ColorWorkbench::encode(const ImageMessage & image, std::vector<std::uint8_t> & out)
{
  if (candidate_ != ColorCandidate::png1) {
    encoder_.encode(view_of(image), out);
    return;
  }
  const int channels = image.encoding.size() == 5 ? 4 : 3;  // rgba8, bgra8 or rgb8, bgr8
  // A header over the pixels, which imencode only reads.
  const cv::Mat pixels(
    static_cast<int>(image.height), static_cast<int>(image.width), CV_8UC(channels),
    const_cast<std::uint8_t *>(image.data.data()), image.step);
  cv::imencode(".png", pixels, out, {cv::IMWRITE_PNG_COMPRESSION, 1});
}

void ColorWorkbench::decode(
  const std::vector<std::uint8_t> & in, std::vector<std::uint8_t> & pixels)
{
  if (candidate_ != ColorCandidate::png1) {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    decoder_.decode(in.data(), in.size(), width, height, pixels);
    return;
  }
  const cv::Mat image = cv::imdecode(in, cv::IMREAD_UNCHANGED);
  const std::size_t row = image.cols * image.elemSize();
  pixels.resize(row * image.rows);
  for (int i = 0; i < image.rows; ++i) {
    std::memcpy(pixels.data() + i * row, image.ptr(i), row);
  }
}

}  // namespace tavrinox_camera_convertor::bench
