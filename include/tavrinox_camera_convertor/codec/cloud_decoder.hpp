// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <pcl/PCLPointCloud2.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tavrinox_camera_convertor/codec/cloud_payload.hpp"
#include "tavrinox_camera_convertor/codec/depth_source_copy.hpp"
#include "tavrinox_camera_convertor/codec/zstd_frame.hpp"
#include "tavrinox_camera_convertor/geometry/arm_cloud.hpp"
#include "tavrinox_camera_convertor/geometry/instruction_set.hpp"

namespace tavrinox_camera_convertor
{
namespace detail
{
class PayloadReader;
}  // namespace detail

/// How much a payload may make a decoder allocate; anything larger is refused before it is.
struct CloudDecoderLimits
{
  /// Most pixels of a depth image: 8192 x 8192, the largest image the tools take.
  std::uint64_t max_pixels = 8192 * 8192;
  /// Most bytes of any one decoded buffer (a depth image, a cloud's data): 1 GiB, the cloud of
  /// the largest image.
  std::uint64_t max_decoded_bytes = 16 * 8192 * 8192;
};

/**
 * @brief Turns a CloudEncoder payload and the layout that travelled beside it back into the
 *        cloud message that was encoded, bit for bit.
 *
 * A depth payload is decoded into its depth image and back-projected by ArmCloudWriter, the
 * writer the node's own clouds come from. Any payload is untrusted: whatever it holds, decode()
 * returns a cloud or throws CloudCodecError, reads nothing outside the payload, and allocates
 * only what the limits allow. The decoder keeps its zstd context and buffers, so decoding a
 * steady stream allocates nothing. One decoder serves one thread at a time.
 */
class CloudDecoder
{
public:
  /**
   * @param instruction_set what the back-projection's loops use; every choice gives the same
   *        bytes
   * @throws std::invalid_argument when this build or processor cannot run `instruction_set`
   */
  explicit CloudDecoder(
    CloudDecoderLimits limits = CloudDecoderLimits(),
    InstructionSet instruction_set = fastest_instruction_set());

  /**
   * @brief Decodes `size` bytes at `payload` into `out`: its data and layout (height, width,
   *        fields, is_bigendian, point_step, row_step, is_dense); out.header is left as it is,
   *        for the caller to set from its message.
   * @param layout the cloud message's layout as it travelled beside the payload; its data and
   *        header are not read, and it may be `out` itself
   * @return the kind of payload that was decoded
   * @throws CloudCodecError for a payload that is malformed, truncated or followed by more
   *         bytes, of another version, with a camera that cannot back-project, beyond the
   *         limits, whose checksum is not that of its header, content and (for cloud data)
   *         `layout`, or whose cloud disagrees with `layout`; `out` is then unspecified
   */
  CloudPayloadKind decode(
    const std::uint8_t * payload, std::size_t size, const pcl::PCLPointCloud2 & layout,
    pcl::PCLPointCloud2 & out);

  /// @brief decode() of a whole payload vector.
  CloudPayloadKind decode(
    const std::vector<std::uint8_t> & payload, const pcl::PCLPointCloud2 & layout,
    pcl::PCLPointCloud2 & out)
  {
    return decode(payload.data(), payload.size(), layout, out);
  }

  /// @brief The depth image and camera of the last depth payload decoded, until the next one.
  const DepthSourceCopy & last_depth_source() const {return source_;}

  const CloudDecoderLimits & limits() const {return limits_;}

private:
  void decode_depth(
    detail::PayloadReader & reader, const pcl::PCLPointCloud2 & layout,
    pcl::PCLPointCloud2 & out);
  void decode_cloud_data(
    detail::PayloadReader & reader, const pcl::PCLPointCloud2 & layout,
    pcl::PCLPointCloud2 & out);

  CloudDecoderLimits limits_;
  ZstdDecompressionContext context_;
  ArmCloudWriter writer_;
  std::vector<std::uint8_t> code_;  ///< a depth image's code
  DepthSourceCopy source_;
  pcl::PCLPointCloud2 xyz_layout_;  ///< the layout of every depth payload's cloud, 0 points
};

}  // namespace tavrinox_camera_convertor
