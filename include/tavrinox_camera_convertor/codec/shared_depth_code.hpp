// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <exception>
#include <mutex>

#include "tavrinox_camera_convertor/codec/compressed_depth.hpp"
#include "tavrinox_camera_convertor/codec/depth_source_copy.hpp"

namespace tavrinox_camera_convertor
{

/**
 * @brief One depth image of a frame, as several subtopics carry it, compressed at most once:
 *        the first to ask compresses it, on its own thread with its own compressor; whoever
 *        asks meanwhile waits for that, and later ones find it done.
 *
 * The completed depth image goes out as the depth image's and as the converted cloud's depth
 * payload: the same pixels, one compression.
 */
class SharedDepthCode
{
public:
  /// @brief The image's pixels and camera, copied once the frame has made them.
  DepthSourceCopy & source() {return source_;}
  const DepthSourceCopy & source() const {return source_;}

  /**
   * @brief The compressed image, compressed with `compressor` if nobody has yet.
   * @throws what compressing threw, to every caller
   */
  const CompressedDepth & get(DepthCompressor & compressor)
  {
    std::call_once(
      once_, [&] {
        try {
          compressor.compress(source_.pixels(), compressed_);
        } catch (...) {
          failure_ = std::current_exception();
        }
      });
    if (failure_) {
      std::rethrow_exception(failure_);
    }
    return compressed_;
  }

private:
  DepthSourceCopy source_;
  std::once_flag once_;
  CompressedDepth compressed_;
  std::exception_ptr failure_;
};

}  // namespace tavrinox_camera_convertor
