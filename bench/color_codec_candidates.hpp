// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The ways to send an 8-bit colour image losslessly, which the colour codec benchmark compares:
// PNG as the node's compressed subtopic writes it, and the colour code with several zstd
// settings. Each encodes what a sender has and decodes the bytes into the pixels again.
#pragma once

#include <cstdint>
#include <vector>

#include "tavrinox_camera_convertor/codec/color_image_codec.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace tavrinox_camera_convertor::bench
{

/// The colour codes that are compared.
enum class ColorCandidate
{
  png1,                 ///< cv::imencode's PNG at level 1, as the compressed subtopic sends
  code_zstd1,           ///< the colour code, zstd level 1
  code_zstd_m1,         ///< the colour code, level -1 with Huffman-coded literals
  code_tuned,           ///< the codec's: kColorZstdTuning
  code_zstd_m20_tuned,  ///< kColorZstdTuning at level -20
  code_huffman_only,    ///< level -1000 (hardly a match searched for), Huffman-coded literals
  code_zstd1_2_threads,  ///< code_zstd1 with two zstd threads of its own: not one core
};

/// Every candidate, in the order the tables list them.
inline constexpr ColorCandidate kColorCandidates[] = {
  ColorCandidate::png1, ColorCandidate::code_zstd1, ColorCandidate::code_zstd_m1,
  ColorCandidate::code_tuned, ColorCandidate::code_zstd_m20_tuned,
  ColorCandidate::code_huffman_only, ColorCandidate::code_zstd1_2_threads};

/// The candidate the codec uses, marked in the tables.
inline constexpr ColorCandidate kChosenColorCandidate = ColorCandidate::code_tuned;

/// @brief The candidate's name in the tables, e.g. "png1".
const char * name_of(ColorCandidate candidate);

/// Everything one candidate keeps between runs, as a transport would.
class ColorWorkbench
{
public:
  explicit ColorWorkbench(ColorCandidate candidate);

  /// @brief What the candidate sends for `image` (packed rows), into `out`.
  void encode(const ImageMessage & image, std::vector<std::uint8_t> & out);

  /// @brief The packed rows of pixels a receiver of `in` makes.
  void decode(const std::vector<std::uint8_t> & in, std::vector<std::uint8_t> & pixels);

private:
  ColorCandidate candidate_;
  ColorImageEncoder encoder_;
  ColorImageDecoder decoder_;
};

}  // namespace tavrinox_camera_convertor::bench
