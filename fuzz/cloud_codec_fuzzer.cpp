// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Arbitrary payloads and layouts into the cloud decoder, as a transport receives them from the
// network. Decoding must either give a cloud or throw CloudCodecError; a cloud it gives must
// have the layout that came with it, and encoding it again (from the decoded depth image and
// camera, or from its data) and decoding that must give the same bytes.
//
// Input: one byte choosing how the layout is made, the layout's bytes, then the payload.
//   mode 0: u32 width: the layout of an unorganized x y z cloud of that many points, the one a
//           depth payload decodes to (so that valid depth payloads get through);
//   mode 1: u32 width, u8 value, u32 replacement: that layout with one value replaced;
//   mode 2: u32 height, width, point_step, row_step, u8 is_bigendian, is_dense, u8 fields
//           (up to 4), each u8 name, u32 offset, u8 datatype, u32 count: any layout.
// Numbers are little-endian.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "codec_fuzz_limits.hpp"
#include "codec_refusal.hpp"
#include "fuzz_finding.hpp"
#include "tavrinox_camera_convertor/codec/cloud_decoder.hpp"
#include "tavrinox_camera_convertor/codec/cloud_encoder.hpp"
#include "tavrinox_camera_convertor/geometry/cloud_encoding.hpp"

namespace
{

namespace tc = tavrinox_camera_convertor;
using tc::fuzz::codec_fuzz_limits;
using tc::fuzz::finding;
using tc::fuzz::require;

/// Reads the layout's numbers from the front of the input; false once it runs out.
class LayoutBytes
{
public:
  LayoutBytes(const std::uint8_t * data, std::size_t size)
  : data_(data), size_(size) {}

  bool u8(std::uint8_t & value)
  {
    if (used_ + 1 > size_) {
      return false;
    }
    value = data_[used_++];
    return true;
  }

  bool u32(std::uint32_t & value)
  {
    if (used_ + 4 > size_) {
      return false;
    }
    value = 0;
    for (int k = 3; k >= 0; --k) {
      value = value << 8 | data_[used_ + k];
    }
    used_ += 4;
    return true;
  }

  std::size_t used() const {return used_;}

private:
  const std::uint8_t * data_;
  std::size_t size_;
  std::size_t used_ = 0;
};

bool read_near_miss(LayoutBytes & bytes, pcl::PCLPointCloud2 & layout)
{
  std::uint8_t value = 0;
  std::uint32_t replacement = 0;
  if (!bytes.u8(value) || !bytes.u32(replacement)) {
    return false;
  }
  switch (value % 9) {
    case 0:
      layout.height = replacement;
      break;
    case 1:
      layout.row_step = replacement;
      break;
    case 2:
      layout.point_step = replacement;
      break;
    case 3:
      layout.is_bigendian = static_cast<std::uint8_t>(replacement);
      break;
    case 4:
      layout.is_dense = static_cast<std::uint8_t>(replacement);
      break;
    case 5:
      layout.fields.resize(replacement % 5);
      break;
    case 6:
      layout.fields[replacement % 3].offset = replacement >> 8;
      break;
    case 7:
      layout.fields[replacement % 3].datatype = static_cast<std::uint8_t>(replacement >> 8);
      break;
    default:
      layout.fields[replacement % 3].name = std::string(1, static_cast<char>(replacement >> 8));
      break;
  }
  return true;
}

bool read_any_layout(LayoutBytes & bytes, pcl::PCLPointCloud2 & layout)
{
  std::uint8_t is_bigendian = 0;
  std::uint8_t is_dense = 0;
  std::uint8_t fields = 0;
  if (!bytes.u32(layout.height) || !bytes.u32(layout.width) || !bytes.u32(layout.point_step) ||
    !bytes.u32(layout.row_step) || !bytes.u8(is_bigendian) || !bytes.u8(is_dense) ||
    !bytes.u8(fields))
  {
    return false;
  }
  layout.is_bigendian = is_bigendian;
  layout.is_dense = is_dense;
  const char * const names[] = {"x", "y", "z", "rgb", "intensity", ""};
  layout.fields.resize(fields % 5);
  for (pcl::PCLPointField & field : layout.fields) {
    std::uint8_t name = 0;
    std::uint8_t datatype = 0;
    if (!bytes.u8(name) || !bytes.u32(field.offset) || !bytes.u8(datatype) ||
      !bytes.u32(field.count))
    {
      return false;
    }
    field.name = names[name % 6];
    field.datatype = datatype;
  }
  return true;
}

/// The layout the input describes; false when the input ends inside it.
bool read_layout(LayoutBytes & bytes, pcl::PCLPointCloud2 & layout)
{
  std::uint8_t mode = 0;
  if (!bytes.u8(mode)) {
    return false;
  }
  if (mode % 3 == 2) {
    return read_any_layout(bytes, layout);
  }
  std::uint32_t width = 0;
  if (!bytes.u32(width)) {
    return false;
  }
  tc::prepare_xyz_cloud(0, layout);
  layout.width = width;
  layout.row_step = 16 * width;
  return mode % 3 == 0 || read_near_miss(bytes, layout);
}

bool same_layout(const pcl::PCLPointCloud2 & a, const pcl::PCLPointCloud2 & b)
{
  if (a.height != b.height || a.width != b.width || a.point_step != b.point_step ||
    a.row_step != b.row_step || a.is_bigendian != b.is_bigendian || a.is_dense != b.is_dense ||
    a.fields.size() != b.fields.size())
  {
    return false;
  }
  for (std::size_t k = 0; k < a.fields.size(); ++k) {
    if (a.fields[k].name != b.fields[k].name || a.fields[k].offset != b.fields[k].offset ||
      a.fields[k].datatype != b.fields[k].datatype || a.fields[k].count != b.fields[k].count)
    {
      return false;
    }
  }
  return true;
}

/// Decodes as a transport would; false for a payload refused with CloudCodecError.
bool decode(
  tc::CloudDecoder & decoder, const std::uint8_t * payload, std::size_t size,
  const pcl::PCLPointCloud2 & layout, pcl::PCLPointCloud2 & out, tc::CloudPayloadKind & kind)
{
  return tc::fuzz::decoded_or_refused([&] {kind = decoder.decode(payload, size, layout, out);});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t * data, std::size_t size)
{
  LayoutBytes bytes(data, size);
  pcl::PCLPointCloud2 layout;
  if (!read_layout(bytes, layout)) {
    return 0;
  }
  const std::uint8_t * payload = data + bytes.used();
  const std::size_t payload_size = size - bytes.used();

  tc::CloudDecoder decoder(codec_fuzz_limits());
  pcl::PCLPointCloud2 cloud;
  tc::CloudPayloadKind kind;
  if (!decode(decoder, payload, payload_size, layout, cloud, kind)) {
    return 0;
  }
  require(same_layout(cloud, layout), "the decoded cloud's layout differs from the message's");
  require(
    cloud.data.size() == static_cast<std::uint64_t>(cloud.row_step) * cloud.height,
    "the decoded cloud's data is not row_step x height bytes");
  require(cloud.data.size() <= codec_fuzz_limits().max_decoded_bytes, "decoded beyond the limit");

  // What was decoded, encoded again, must decode to the very same cloud.
  std::vector<std::uint8_t> again;
  tc::CloudEncoder encoder;
  try {
    if (kind == tc::CloudPayloadKind::depth_image) {
      encoder.encode_depth(decoder.last_depth_source(), again);
    } else {
      encoder.encode_cloud_data(cloud, again);
    }
  } catch (const std::exception & error) {
    finding(std::string("a decoded cloud could not be encoded again: ") + error.what());
  }
  const tc::DepthSourceCopy first_source = decoder.last_depth_source();
  pcl::PCLPointCloud2 second;
  tc::CloudPayloadKind second_kind;
  require(
    decode(decoder, again.data(), again.size(), layout, second, second_kind),
    "a payload encoded from a decoded cloud was refused");
  require(second_kind == kind, "encoded again, the payload changed its kind");
  require(second.data == cloud.data, "encoded again, the cloud's data changed");
  require(same_layout(second, cloud), "encoded again, the cloud's layout changed");
  if (kind == tc::CloudPayloadKind::depth_image) {
    const tc::DepthSourceCopy & second_source = decoder.last_depth_source();
    require(
      second_source.width() == first_source.width() &&
      second_source.height() == first_source.height() &&
      second_source.millimetres() == first_source.millimetres(),
      "encoded again, the depth image changed");
  }
  return 0;
}
