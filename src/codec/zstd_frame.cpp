// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/codec/zstd_frame.hpp"

// The literals mode is one of zstd's advanced parameters, declared only for static linking.
#define ZSTD_STATIC_LINKING_ONLY
#include <zstd.h>

#include <new>
#include <stdexcept>
#include <string>

#include "tavrinox_camera_convertor/codec/cloud_codec_error.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

void set_parameter(ZSTD_CCtx & context, ZSTD_cParameter parameter, int value)
{
  const std::size_t result = ZSTD_CCtx_setParameter(&context, parameter, value);
  if (ZSTD_isError(result)) {
    throw std::invalid_argument(
            "zstd compression parameter " + std::to_string(parameter) + " = " +
            std::to_string(value) + ": " + ZSTD_getErrorName(result));
  }
}

}  // namespace

void ZstdCompressionContextFree::operator()(ZSTD_CCtx_s * context) const noexcept
{
  ZSTD_freeCCtx(context);
}

void ZstdDecompressionContextFree::operator()(ZSTD_DCtx_s * context) const noexcept
{
  ZSTD_freeDCtx(context);
}

ZstdCompressionContext make_zstd_compression_context(const ZstdTuning & tuning)
{
  if (tuning.level < ZSTD_minCLevel() || tuning.level > ZSTD_maxCLevel()) {
    throw std::invalid_argument(
            "zstd level " + std::to_string(tuning.level) + " is outside zstd's " +
            std::to_string(ZSTD_minCLevel()) + " to " + std::to_string(ZSTD_maxCLevel()));
  }
  ZstdCompressionContext context(ZSTD_createCCtx());
  if (!context) {
    throw std::bad_alloc();
  }
  set_parameter(*context, ZSTD_c_compressionLevel, tuning.level);
  if (tuning.huffman_literals) {
    set_parameter(*context, ZSTD_c_literalCompressionMode, ZSTD_ps_enable);
  }
  if (tuning.hash_log != 0) {
    set_parameter(*context, ZSTD_c_hashLog, tuning.hash_log);
  }
  if (tuning.min_match != 0) {
    set_parameter(*context, ZSTD_c_minMatch, tuning.min_match);
  }
  if (tuning.workers != 0) {
    set_parameter(*context, ZSTD_c_nbWorkers, tuning.workers);
  }
  // A receiver learns the size before it allocates.
  set_parameter(*context, ZSTD_c_contentSizeFlag, 1);
  set_parameter(*context, ZSTD_c_checksumFlag, tuning.content_checksum ? 1 : 0);
  return context;
}

ZstdCompressionContext make_zstd_compression_context(int level)
{
  ZstdTuning tuning;
  tuning.level = level;
  return make_zstd_compression_context(tuning);
}

ZstdDecompressionContext make_zstd_decompression_context()
{
  ZstdDecompressionContext context(ZSTD_createDCtx());
  if (!context) {
    throw std::bad_alloc();
  }
  return context;
}

std::size_t compress_zstd_frame(
  ZSTD_CCtx_s & context, const std::uint8_t * data, std::size_t size,
  std::vector<std::uint8_t> & room)
{
  const std::size_t bound = ZSTD_compressBound(size);
  if (room.size() < bound) {
    room.resize(bound);
  }
  const std::size_t written = ZSTD_compress2(&context, room.data(), room.size(), data, size);
  if (ZSTD_isError(written)) {
    // Only running out of memory inside zstd gets here: the room is zstd's own bound.
    throw std::runtime_error(std::string("zstd compression failed: ") + ZSTD_getErrorName(written));
  }
  return written;
}

void append_zstd_frame(
  ZSTD_CCtx_s & context, const std::uint8_t * data, std::size_t size,
  std::vector<std::uint8_t> & out)
{
  const std::size_t start = out.size();
  out.resize(start + ZSTD_compressBound(size));
  const std::size_t written =
    ZSTD_compress2(&context, out.data() + start, out.size() - start, data, size);
  if (ZSTD_isError(written)) {
    // Only running out of memory inside zstd gets here: the room is zstd's own bound.
    out.resize(start);
    throw std::runtime_error(std::string("zstd compression failed: ") + ZSTD_getErrorName(written));
  }
  out.resize(start + written);
}

std::uint64_t zstd_frame_content_size(
  const std::uint8_t * frame, std::size_t size, std::string_view what)
{
  const std::string name(what);
  const std::size_t frame_size = ZSTD_findFrameCompressedSize(frame, size);
  if (ZSTD_isError(frame_size)) {
    throw CloudCodecError(
            "the compressed " + name + " is not one whole zstd frame (zstd: " +
            ZSTD_getErrorName(frame_size) + ")");
  }
  if (frame_size != size) {
    const std::size_t trailing = size - frame_size;
    throw CloudCodecError(
            std::to_string(trailing) + (trailing == 1 ? " byte follows" : " bytes follow") +
            " the compressed " + name + ": a payload ends with its zstd frame");
  }
  const auto content = ZSTD_getFrameContentSize(frame, size);
  if (content == ZSTD_CONTENTSIZE_UNKNOWN || content == ZSTD_CONTENTSIZE_ERROR) {
    throw CloudCodecError(
            "the compressed " + name + "'s zstd frame does not state its size, which a payload's "
            "frame must");
  }
  return content;
}

void decompress_zstd_frame(
  ZSTD_DCtx_s & context, const std::uint8_t * frame, std::size_t size, std::uint64_t expected,
  std::string_view what, std::vector<std::uint8_t> & out)
{
  const std::string name(what);
  const std::uint64_t content = zstd_frame_content_size(frame, size, what);
  if (content != expected) {
    throw CloudCodecError(
            "the compressed " + name + " holds " + std::to_string(content) +
            " bytes, but the payload's header makes it " + std::to_string(expected));
  }
  out.resize(static_cast<std::size_t>(expected));
  // A frame of nothing still needs a place to write to.
  std::uint8_t nothing = 0;
  std::uint8_t * const target = out.empty() ? &nothing : out.data();
  const std::size_t decoded = ZSTD_decompressDCtx(&context, target, out.size(), frame, size);
  if (ZSTD_isError(decoded)) {
    throw CloudCodecError(
            "the compressed " + name + " is corrupt (zstd: " + ZSTD_getErrorName(decoded) + ")");
  }
  if (decoded != expected) {
    throw CloudCodecError(
            "the compressed " + name + " gave " + std::to_string(decoded) + " bytes, its frame "
            "states " + std::to_string(expected));
  }
}

}  // namespace tavrinox_camera_convertor
