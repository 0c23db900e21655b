// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The outputs' subtopics over the middleware: every cloud comes back bit for bit through the
// package's own transport, the images through lossless png, compressedDepth and the package's
// depth transport, a subtopic
// nobody subscribes to costs no encoding, and a broken message never reaches a consumer.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <diagnostic_msgs/msg/diagnostic_array.hpp>
#include <image_transport/image_transport.hpp>
#include <point_cloud_interfaces/msg/compressed_point_cloud2.hpp>
#include <point_cloud_transport/point_cloud_transport.hpp>
#include <sensor_msgs/msg/compressed_image.hpp>

#include "node_process.hpp"
#include "output_harness.hpp"
#include "tavrinox_camera_convertor/codec/cloud_encoder.hpp"
#include "tavrinox_camera_convertor/codec/depth_image_codec.hpp"
#include "tavrinox_camera_convertor/codec/depth_source_copy.hpp"
#include "tavrinox_camera_convertor/geometry/depth_pixels.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"
#include "tavrinox_camera_convertor/ros/transports/compressed_cloud_message.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using point_cloud_interfaces::msg::CompressedPointCloud2;
using test::Harness;
using test::InputSet;
using test::kConfig;
using test::stamp_at;
using namespace std::chrono_literals;

constexpr std::array<const char *, 3> kCloudTopics = {
  "/tavrinox_camera_convertor/cam1_cloud", "/tavrinox_camera_convertor/cam2_cloud",
  "/tavrinox_camera_convertor/converted_cloud"};

/// Clouds and images by their header stamp, as a subscriber of one subtopic received them.
template<typename Message>
using ByStamp = std::map<std::int64_t, typename Message::ConstSharedPtr>;

template<typename Message>
std::int64_t stamp_of(const Message & message)
{
  return static_cast<std::int64_t>(message.header.stamp.sec) * 1000000000 +
         message.header.stamp.nanosec;
}

/// @brief The installed node with the colour subtopic set to lossless png.
test::NodeProcess start_node(const test::TemporaryPackagePrefix & prefix, int domain)
{
  return test::NodeProcess(
    TAVRINOX_NODE_EXECUTABLE, prefix, domain,
    {"--ros-args", "-p", "camera_02.color.converted_image.format:=png"});
}

/// @brief The first count in the node's diagnostics line "N frames sent, ..." for `output`.
std::optional<std::uint64_t> frames_sent(
  const diagnostic_msgs::msg::DiagnosticArray & array, const std::string & output)
{
  for (const auto & status : array.status) {
    for (const auto & value : status.values) {
      if (value.key == "compressed subtopics of the " + output) {
        return std::strtoull(value.value.c_str(), nullptr, 10);
      }
    }
  }
  return std::nullopt;
}

TEST(Transports, EveryOutputComesBackBitForBitThroughItsLosslessSubtopic)
{
  const std::string config = kConfig;
  test::TemporaryPackagePrefix prefix(&config);
  const int domain = test::unique_domain_id();
  test::NodeProcess node = start_node(prefix, domain);
  Harness harness(domain);

  std::array<ByStamp<test::PointCloud2>, 3> decoded_clouds;
  std::vector<point_cloud_transport::Subscriber> cloud_subscribers;
  for (std::size_t k = 0; k < kCloudTopics.size(); ++k) {
    cloud_subscribers.push_back(
      point_cloud_transport::create_subscription(
        harness.shared_node(), kCloudTopics[k],
        [&decoded_clouds, k](const test::PointCloud2::ConstSharedPtr & cloud) {
          decoded_clouds[k][stamp_of(*cloud)] = cloud;
        }, kDepthCloudTransport));
  }
  ByStamp<test::Image> decoded_depth;
  ByStamp<test::Image> decoded_own_depth;
  ByStamp<test::Image> decoded_color;
  const image_transport::Subscriber depth_subscriber = image_transport::create_subscription(
    &harness.node(), "/camera_02/depth/converted_image",
    [&](const test::Image::ConstSharedPtr & image) {decoded_depth[stamp_of(*image)] = image;},
    "compressedDepth");
  const image_transport::Subscriber own_depth_subscriber = image_transport::create_subscription(
    &harness.node(), "/camera_02/depth/converted_image",
    [&](const test::Image::ConstSharedPtr & image) {decoded_own_depth[stamp_of(*image)] = image;},
    kDepthImageTransport);
  const image_transport::Subscriber color_subscriber = image_transport::create_subscription(
    &harness.node(), "/camera_02/color/converted_image",
    [&](const test::Image::ConstSharedPtr & image) {decoded_color[stamp_of(*image)] = image;},
    "compressed");
  ASSERT_TRUE(node.wait_for_output("Subscribe topic_2:", 20s)) << node.output();
  ASSERT_TRUE(harness.wait_for_node(20s)) << "the node's topics never matched";

  // At a camera's pace: the subtopics keep only each output's latest frame, so a burst of sets
  // may rightly reach them in part.
  for (int k = 0; k < 4; ++k) {
    harness.publish(InputSet(), stamp_at(200, static_cast<std::uint32_t>(k) * 100000000u));
    harness.spin_for(100ms);
  }
  ASSERT_TRUE(
    harness.spin_until(
      20s, [&] {
        return harness.converted.size() >= 3 && decoded_clouds[2].size() >= 3 &&
        decoded_color.size() >= 3 && decoded_depth.size() >= 3 && decoded_own_depth.size() >= 3;
      })) << "raw " << harness.converted.size() << ", depth transport " <<
    decoded_clouds[0].size() << " " << decoded_clouds[1].size() << " " <<
    decoded_clouds[2].size() << ", png " << decoded_color.size() << ", compressedDepth " <<
    decoded_depth.size() << ", tavrinox_depth " << decoded_own_depth.size() << "\n" <<
    node.output();
  harness.spin_for(500ms);

  // Each decoded message equals the raw one with its stamp: header, layout and every byte.
  const std::array<const std::vector<test::PointCloud2::ConstSharedPtr> *, 3> raw_clouds = {
    &harness.cam1, &harness.cam2, &harness.converted};
  for (std::size_t k = 0; k < raw_clouds.size(); ++k) {
    std::size_t compared = 0;
    for (const auto & raw : *raw_clouds[k]) {
      const auto found = decoded_clouds[k].find(stamp_of(*raw));
      if (found == decoded_clouds[k].end()) {
        continue;
      }
      EXPECT_EQ(*found->second, *raw) << kCloudTopics[k];
      ++compared;
    }
    EXPECT_GE(compared, 3u) << kCloudTopics[k];
  }
  std::size_t images_compared = 0;
  for (std::size_t k = 0; k < harness.depth.size(); ++k) {
    const auto depth = decoded_depth.find(stamp_of(*harness.depth[k]));
    const auto own_depth = decoded_own_depth.find(stamp_of(*harness.depth[k]));
    const auto color = decoded_color.find(stamp_of(*harness.color.at(k)));
    if (depth == decoded_depth.end() || own_depth == decoded_own_depth.end() ||
      color == decoded_color.end())
    {
      continue;
    }
    EXPECT_EQ(depth->second->encoding, "16UC1");
    EXPECT_TRUE(depth->second->data == harness.depth[k]->data) << "completed depth differs";
    EXPECT_EQ(*own_depth->second, *harness.depth[k]) << "tavrinox_depth differs";
    EXPECT_EQ(color->second->encoding, "rgb8");
    EXPECT_TRUE(color->second->data == harness.color[k]->data) << "png colour differs";
    ++images_compared;
  }
  EXPECT_GE(images_compared, 3u);
  // Colour is no depth: its depth subtopic is never advertised.
  const auto topics = harness.node().get_topic_names_and_types();
  EXPECT_EQ(topics.count("/camera_02/color/converted_image/tavrinox_depth"), 0u);
  EXPECT_EQ(topics.count("/camera_02/depth/converted_image/tavrinox_depth"), 1u);
}

TEST(Transports, ASubtopicWithoutSubscriberIsNeverEncoded)
{
  const std::string config = kConfig;
  test::TemporaryPackagePrefix prefix(&config);
  const int domain = test::unique_domain_id();
  test::NodeProcess node = start_node(prefix, domain);
  Harness harness(domain);
  diagnostic_msgs::msg::DiagnosticArray::ConstSharedPtr latest;
  const auto diagnostics =
    harness.node().create_subscription<diagnostic_msgs::msg::DiagnosticArray>(
    "/diagnostics", 10, [&latest](diagnostic_msgs::msg::DiagnosticArray::ConstSharedPtr array) {
      if (frames_sent(*array, "cam1_cloud")) {
        latest = array;
      }
    });
  ASSERT_TRUE(node.wait_for_output("Subscribe topic_2:", 20s)) << node.output();
  ASSERT_TRUE(harness.wait_for_node(20s)) << "the node's topics never matched";

  // Raw subscribers only: five outputs a set, nothing compressed.
  std::uint32_t next = 0;
  const auto run_sets = [&](std::size_t converted_wanted) {
      for (int k = 0; k < 4; ++k) {
        harness.publish(InputSet(), stamp_at(300, (next++) * 100000000u));
        harness.spin_for(100ms);
      }
      return harness.spin_until(20s, [&] {return harness.converted.size() >= converted_wanted;});
    };
  ASSERT_TRUE(run_sets(3)) << node.output();
  latest.reset();
  ASSERT_TRUE(harness.spin_until(5s, [&] {return latest != nullptr;}));
  for (const char * output :
    {"cam1_cloud", "cam2_cloud", "depth image", "colour image", "converted_cloud"})
  {
    EXPECT_EQ(frames_sent(*latest, output), 0u) << output;
  }

  // One subscriber of camera 2's lossless subtopic: that output alone is encoded.
  std::size_t received = 0;
  const auto subscriber = point_cloud_transport::create_subscription(
    harness.shared_node(), kCloudTopics[1],
    [&received](const test::PointCloud2::ConstSharedPtr &) {++received;}, kDepthCloudTransport);
  ASSERT_TRUE(harness.wait_for_node(20s));
  ASSERT_TRUE(run_sets(harness.converted.size() + 3)) << node.output();
  ASSERT_TRUE(harness.spin_until(10s, [&] {return received >= 3;}));
  ASSERT_TRUE(
    harness.spin_until(
      5s, [&] {return latest && frames_sent(*latest, "cam2_cloud").value_or(0) >= 3;}));
  EXPECT_EQ(frames_sent(*latest, "cam1_cloud"), 0u);
  EXPECT_EQ(frames_sent(*latest, "converted_cloud"), 0u);
  EXPECT_EQ(frames_sent(*latest, "colour image"), 0u);
}

TEST(Transports, ABrokenMessageIsDroppedWithALogLineAndTheNextOneStillArrives)
{
  // The consumer's side alone: the plugin in this process, messages from a publisher of ours.
  Harness harness(test::unique_domain_id());
  std::vector<test::PointCloud2::ConstSharedPtr> received;
  const auto subscriber = point_cloud_transport::create_subscription(
    harness.shared_node(), "/test/cloud",
    [&received](const test::PointCloud2::ConstSharedPtr & cloud) {received.push_back(cloud);},
    kDepthCloudTransport);
  const auto publisher = harness.node().create_publisher<CompressedPointCloud2>(
    std::string("/test/cloud/") + kDepthCloudTransport, 10);
  ASSERT_TRUE(harness.spin_until(10s, [&] {return publisher->get_subscription_count() > 0;}));

  // A good message: a 4 x 2 depth image with one hole, through the node's encoder.
  DepthSourceCopy source;
  std::uint16_t * const pixels = source.reset(
    4, 2, {2.0f, 2.0f, 1.5f, 0.5f},
    ExtrinsicTransform::Identity());
  for (int k = 0; k < 8; ++k) {
    pixels[k] = static_cast<std::uint16_t>(k == 5 ? 0 : 1000 + k);
  }
  CloudEncoder encoder;
  std::vector<std::uint8_t> payload;
  encoder.encode_depth(source, payload);
  pcl::PCLPointCloud2 layout;
  prepare_xyz_cloud(7, layout);
  CompressedPointCloud2 good;
  std_msgs::msg::Header header;
  header.frame_id = "test_arm";
  fill_compressed_cloud(header, layout, payload, good);

  CompressedPointCloud2 truncated = good;
  truncated.compressed_data.resize(truncated.compressed_data.size() / 2);
  CompressedPointCloud2 wrong_size = good;
  wrong_size.width = 6;
  CompressedPointCloud2 corrupt = good;
  corrupt.compressed_data.back() ^= 0x40;
  CompressedPointCloud2 other_format = good;
  other_format.format = "draco";
  for (const CompressedPointCloud2 * message : {&truncated, &wrong_size, &corrupt, &other_format}) {
    publisher->publish(*message);
  }
  publisher->publish(good);
  ASSERT_TRUE(harness.spin_until(10s, [&] {return !received.empty();}));
  harness.spin_for(300ms);
  ASSERT_EQ(received.size(), 1u) << "a broken message reached the callback";
  EXPECT_EQ(received[0]->width, 7u);
  EXPECT_EQ(received[0]->header.frame_id, "test_arm");

  // The same for the depth image transport.
  std::vector<test::Image::ConstSharedPtr> images;
  const image_transport::Subscriber image_subscriber = image_transport::create_subscription(
    &harness.node(), "/test/depth",
    [&images](const test::Image::ConstSharedPtr & image) {images.push_back(image);},
    kDepthImageTransport);
  const auto image_publisher = harness.node().create_publisher<sensor_msgs::msg::CompressedImage>(
    std::string("/test/depth/") + kDepthImageTransport, 10);
  ASSERT_TRUE(
    harness.spin_until(10s, [&] {return image_publisher->get_subscription_count() > 0;}));
  std::vector<std::uint16_t> scratch;
  ImageView view;
  view.width = 4;
  view.height = 2;
  view.encoding = "16UC1";
  view.is_bigendian = host_is_bigendian();
  view.step = 8;
  view.data = reinterpret_cast<const std::uint8_t *>(pixels);
  view.size = 16;
  sensor_msgs::msg::CompressedImage good_image;
  good_image.header = header;
  good_image.format = std::string("16UC1; ") + kDepthImageTransport;
  DepthImageEncoder image_encoder;
  image_encoder.encode(DepthPixels(view, "test", scratch), good_image.data);
  sensor_msgs::msg::CompressedImage cut_image = good_image;
  cut_image.data.resize(10);
  sensor_msgs::msg::CompressedImage png_image = good_image;
  png_image.format = "16UC1; png";
  sensor_msgs::msg::CompressedImage corrupt_image = good_image;
  corrupt_image.data.back() ^= 0x40;
  for (const auto * message : {&cut_image, &png_image, &corrupt_image, &good_image}) {
    image_publisher->publish(*message);
  }
  ASSERT_TRUE(harness.spin_until(10s, [&] {return !images.empty();}));
  harness.spin_for(300ms);
  ASSERT_EQ(images.size(), 1u) << "a broken image reached the callback";
  EXPECT_EQ(images[0]->width, 4u);
  EXPECT_EQ(images[0]->step, 8u);
  EXPECT_EQ(
    std::vector<std::uint8_t>(view.data, view.data + view.size), images[0]->data);
}

}  // namespace
}  // namespace tavrinox_camera_convertor
