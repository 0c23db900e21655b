// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

// zstd's own context types, so that zstd.h stays out of the project's headers.
struct ZSTD_CCtx_s;
struct ZSTD_DCtx_s;

namespace tavrinox_camera_convertor
{

/// Frees a compression context with ZSTD_freeCCtx.
struct ZstdCompressionContextFree
{
  void operator()(ZSTD_CCtx_s * context) const noexcept;
};

/// Frees a decompression context with ZSTD_freeDCtx.
struct ZstdDecompressionContextFree
{
  void operator()(ZSTD_DCtx_s * context) const noexcept;
};

/// A zstd compression context; kept between frames, it keeps its tables and buffers.
using ZstdCompressionContext = std::unique_ptr<ZSTD_CCtx_s, ZstdCompressionContextFree>;
/// A zstd decompression context; kept between frames, it keeps its tables and buffers.
using ZstdDecompressionContext = std::unique_ptr<ZSTD_DCtx_s, ZstdDecompressionContextFree>;

/**
 * @brief A context that writes frames at `level` with their content size and a checksum.
 * @throws std::invalid_argument for a level zstd does not have
 * @throws std::bad_alloc when zstd cannot allocate the context
 */
ZstdCompressionContext make_zstd_compression_context(int level);

/**
 * @brief A context for decompress_zstd_frame().
 * @throws std::bad_alloc when zstd cannot allocate the context
 */
ZstdDecompressionContext make_zstd_decompression_context();

/// @brief Appends one zstd frame of the `size` bytes at `data` to `out`, reusing its buffer.
void append_zstd_frame(
  ZSTD_CCtx_s & context, const std::uint8_t * data, std::size_t size,
  std::vector<std::uint8_t> & out);

/**
 * @brief Decompresses the single zstd frame that fills `frame` .. `frame + size` into `out`,
 *        which it resizes to `expected` bytes only once the frame is known to hold that many.
 * @param what names the frame's content in error texts, for example "depth image"
 * @throws CloudCodecError for anything but one whole, intact frame of exactly `expected`
 *         bytes: cut short, followed by more bytes, another size, no size, corrupt data
 */
void decompress_zstd_frame(
  ZSTD_DCtx_s & context, const std::uint8_t * frame, std::size_t size, std::uint64_t expected,
  std::string_view what, std::vector<std::uint8_t> & out);

}  // namespace tavrinox_camera_convertor
