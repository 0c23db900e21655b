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

/// How a compression context finds matches and codes literals; 0 leaves a value to the level.
struct ZstdTuning
{
  int level = 1;  ///< zstd's level, negative ones included
  /// Huffman-code the literals even at negative levels, where zstd stores them raw: the
  /// residuals of a camera's image are mostly literals, and raw they would double the bytes.
  bool huffman_literals = false;
  int hash_log = 0;   ///< log2 of the match finder's table size
  int min_match = 0;  ///< shortest match the match finder looks for
  /// zstd's own threads compressing a frame; 0 compresses on the calling thread alone, as the
  /// package does (its encoding threads are its own, below the frames' priority)
  int workers = 0;
  /// zstd's checksum of the content in the frame: payloads carry their own, of header and
  /// content, so the codec leaves it out
  bool content_checksum = false;
};

/**
 * @brief A context that writes frames with `tuning` and their content size.
 * @throws std::invalid_argument for a level or value zstd does not have
 * @throws std::bad_alloc when zstd cannot allocate the context
 */
ZstdCompressionContext make_zstd_compression_context(const ZstdTuning & tuning);

/// @brief make_zstd_compression_context() at `level`, zstd's choice of everything else.
ZstdCompressionContext make_zstd_compression_context(int level);

/**
 * @brief A context for decompress_zstd_frame().
 * @throws std::bad_alloc when zstd cannot allocate the context
 */
ZstdDecompressionContext make_zstd_decompression_context();

/**
 * @brief Writes one zstd frame of the `size` bytes at `data` to the start of `room`, which it
 *        grows to zstd's bound when smaller and never shrinks (growing a vector writes zeros
 *        over what it adds: a buffer kept at its size takes a frame without that).
 * @return the frame's bytes
 */
std::size_t compress_zstd_frame(
  ZSTD_CCtx_s & context, const std::uint8_t * data, std::size_t size,
  std::vector<std::uint8_t> & room);

/// @brief Appends one zstd frame of the `size` bytes at `data` to `out`, reusing its buffer.
void append_zstd_frame(
  ZSTD_CCtx_s & context, const std::uint8_t * data, std::size_t size,
  std::vector<std::uint8_t> & out);

/**
 * @brief The content size that the single zstd frame filling `frame` .. `frame + size` states.
 * @param what names the frame's content in error texts, for example "depth image"
 * @throws CloudCodecError for anything but one whole frame that states its size: cut short,
 *         followed by more bytes, no size
 */
std::uint64_t zstd_frame_content_size(
  const std::uint8_t * frame, std::size_t size, std::string_view what);

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
