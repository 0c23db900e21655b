// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// In one process with intra-process communication: outputs reach a subscriber in the process as
// the very buffers the pipeline wrote, and images from a driver in the process reach the
// pipeline without being copied.
#include <gtest/gtest.h>
#include <rcutils/logging.h>

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <rclcpp/rclcpp.hpp>
#include <sensor_msgs/msg/image.hpp>
#include <sensor_msgs/msg/point_cloud2.hpp>

#include "node_process.hpp"
#include "output_harness.hpp"
#include "tavrinox_camera_convertor/geometry/cloud_encoding.hpp"
#include "tavrinox_camera_convertor/ros/camera_convertor.hpp"
#include "tavrinox_camera_convertor/ros/ros_message_conversions.hpp"

namespace
{

/// Allocations of a megabyte or more in this process: only whole images and clouds are that big.
std::atomic<std::int64_t> large_allocations{0};
constexpr std::size_t kLarge = 1 << 20;

/// Whether the node has logged a dropped frame, which shows that a set reached its pipeline.
std::atomic<bool> frame_dropped_logged{false};

void watch_log(
  const rcutils_log_location_t *, int, const char *, rcutils_time_point_value_t,
  const char * format, va_list * arguments)
{
  char text[1024];
  va_list copy;
  va_copy(copy, *arguments);
  std::vsnprintf(text, sizeof text, format, copy);
  va_end(copy);
  if (std::strstr(text, "Frame dropped") != nullptr) {
    frame_dropped_logged = true;
  }
}

}  // namespace

void * operator new(std::size_t size)
{
  if (size >= kLarge) {
    large_allocations.fetch_add(1, std::memory_order_relaxed);
  }
  if (void * memory = std::malloc(size == 0 ? 1 : size)) {
    return memory;
  }
  throw std::bad_alloc();
}

void operator delete(void * memory) noexcept {std::free(memory);}
void operator delete(void * memory, std::size_t) noexcept {std::free(memory);}

namespace tavrinox_camera_convertor
{
namespace
{

using sensor_msgs::msg::Image;
using sensor_msgs::msg::PointCloud2;
using namespace std::chrono_literals;

rclcpp::NodeOptions intra_process()
{
  return rclcpp::NodeOptions().use_intra_process_comms(true);
}

template<typename Condition>
bool spin_until(rclcpp::Executor & executor, std::chrono::seconds timeout, Condition condition)
{
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    executor.spin_some(10ms);
  }
  return true;
}

CloudMessage cloud_of_points(std::size_t points)
{
  CloudMessage message;
  prepare_xyz_cloud(points, message.cloud);
  for (std::size_t k = 0; k < message.cloud.data.size(); ++k) {
    message.cloud.data[k] = static_cast<std::uint8_t>(k * 7);
  }
  message.header.frame_id = "arm";
  return message;
}

TEST(ZeroCopy, AnInProcessSubscriberReceivesThePipelinesOwnBuffers)
{
  auto node = std::make_shared<rclcpp::Node>("zero_copy_publisher", intra_process());
  auto cloud_publisher = node->create_publisher<PointCloud2>("/zero_copy/cloud", 1);
  auto image_publisher = node->create_publisher<Image>("/zero_copy/image", 1);
  PointCloud2::UniquePtr cloud_received;
  Image::UniquePtr image_received;
  auto cloud_subscription = node->create_subscription<PointCloud2>(
    "/zero_copy/cloud", 1, [&](PointCloud2::UniquePtr m) {cloud_received = std::move(m);});
  auto image_subscription = node->create_subscription<Image>(
    "/zero_copy/image", 1, [&](Image::UniquePtr m) {image_received = std::move(m);});
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);

  CloudMessage cloud = cloud_of_points(100000);
  const std::vector<std::uint8_t> cloud_bytes = cloud.cloud.data;
  const std::uint8_t * const cloud_buffer = cloud.cloud.data.data();
  publish_cloud(cloud, *cloud_publisher);
  ImageMessage image;
  image.width = 640;
  image.height = 480;
  image.encoding = "rgb8";
  image.step = 3 * 640;
  image.data.assign(std::size_t{3} *640 * 480, 77);
  const std::uint8_t * const image_buffer = image.data.data();
  publish_image(image, *image_publisher);

  ASSERT_TRUE(spin_until(executor, 10s, [&] {return cloud_received && image_received;}));
  EXPECT_EQ(cloud_received->data.data(), cloud_buffer) << "the cloud was copied";
  EXPECT_EQ(image_received->data.data(), image_buffer) << "the image was copied";
  EXPECT_TRUE(cloud_received->data == cloud_bytes);
  EXPECT_EQ(cloud_received->header.frame_id, "arm");
  EXPECT_EQ(cloud_received->width, 100000u);
  EXPECT_EQ(image_received->encoding, "rgb8");
  // The buffers went with the messages; the pipeline makes new ones for its next frame.
  EXPECT_TRUE(cloud.cloud.data.empty());
  EXPECT_TRUE(image.data.empty());
}

TEST(ZeroCopy, WithoutAnInProcessSubscriberTheBufferComesBackForTheNextFrame)
{
  auto node = std::make_shared<rclcpp::Node>("lending_publisher", intra_process());
  auto publisher = node->create_publisher<PointCloud2>("/zero_copy/lent", 1);
  // A subscriber in a context of its own is served by the middleware, as another process is.
  auto context = std::make_shared<rclcpp::Context>();
  context->init(0, nullptr);
  const rclcpp::NodeOptions other_options = rclcpp::NodeOptions().context(context);
  auto other = std::make_shared<rclcpp::Node>("other_process", other_options);
  PointCloud2::ConstSharedPtr received;
  auto subscription = other->create_subscription<PointCloud2>(
    "/zero_copy/lent", 1, [&](PointCloud2::ConstSharedPtr m) {received = m;});
  rclcpp::ExecutorOptions options;
  options.context = context;
  rclcpp::executors::SingleThreadedExecutor executor(options);
  executor.add_node(other);
  ASSERT_TRUE(spin_until(executor, 20s, [&] {return publisher->get_subscription_count() > 0;}));

  CloudMessage cloud = cloud_of_points(5000);
  const std::vector<std::uint8_t> bytes = cloud.cloud.data;
  const std::uint8_t * const buffer = cloud.cloud.data.data();
  publish_cloud(cloud, *publisher);
  EXPECT_EQ(cloud.cloud.data.data(), buffer) << "the lent buffer did not come back";
  EXPECT_TRUE(cloud.cloud.data == bytes);
  ASSERT_TRUE(spin_until(executor, 10s, [&] {return received != nullptr;}));
  EXPECT_TRUE(received->data == bytes);
  executor.remove_node(other);
  subscription.reset();
  other.reset();
  context->shutdown("test done");
}

TEST(ZeroCopy, ImagesFromAnInProcessDriverAreNotCopiedOnTheirWayIn)
{
  const std::string config = test::kConfig;
  test::TemporaryPackagePrefix prefix(&config);
  const char * const ament = std::getenv("AMENT_PREFIX_PATH");
  setenv("AMENT_PREFIX_PATH", (prefix.path() + (ament ? std::string(":") + ament : "")).c_str(), 1);
  auto converter = std::make_shared<CameraConvertor>(intra_process());
  auto driver = std::make_shared<rclcpp::Node>("camera_driver", intra_process());
  std::vector<rclcpp::Publisher<Image>::SharedPtr> inputs;
  for (const char * topic : {"/test/rgb_1", "/test/depth_1", "/test/rgb_2", "/test/depth_2"}) {
    inputs.push_back(driver->create_publisher<Image>(topic, 10));
  }
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(converter);
  executor.add_node(driver);

  // 1280 x 720 images, all made before counting; nobody listens to the outputs, so the node
  // only checks the depth images. The last set's camera 2 depth is refused, and the log line
  // that says so shows that the sets reached the pipeline.
  constexpr int kSets = 6;
  std::vector<Image::UniquePtr> images;
  for (int set = 0; set < kSets; ++set) {
    for (int k = 0; k < 4; ++k) {
      auto image = std::make_unique<Image>();
      image->width = 1280;
      image->height = 720;
      image->encoding = k % 2 == 0 ? "rgb8" : "16UC1";
      image->step = k % 2 == 0 ? 3 * 1280 : 2 * 1280;
      image->data.assign(static_cast<std::size_t>(image->step) * 720, 3);
      image->header.stamp.sec = 500 + set;
      images.push_back(std::move(image));
    }
  }
  images.back()->encoding = "8UC1";
  rcutils_logging_set_output_handler(watch_log);
  const std::int64_t before = large_allocations.load();
  for (std::size_t k = 0; k < images.size(); ++k) {
    inputs[k % 4]->publish(std::move(images[k]));
    executor.spin_some(10ms);
  }
  spin_until(executor, 10s, [] {return frame_dropped_logged.load();});
  EXPECT_EQ(large_allocations.load() - before, 0) << "images were copied on their way in";
  EXPECT_TRUE(frame_dropped_logged) << "the sets never reached the pipeline";

  // The count does see copies: publishing by reference copies each image for the node.
  Image copied;
  copied.width = 1280;
  copied.height = 720;
  copied.encoding = "16UC1";
  copied.step = 2 * 1280;
  copied.data.assign(std::size_t{2} *1280 * 720, 3);
  const std::int64_t before_copies = large_allocations.load();
  inputs[1]->publish(copied);
  executor.spin_some(10ms);
  EXPECT_GE(large_allocations.load() - before_copies, 1);
  executor.remove_node(driver);
  executor.remove_node(converter);
}

}  // namespace
}  // namespace tavrinox_camera_convertor

int main(int argc, char ** argv)
{
  ::testing::InitGoogleTest(&argc, argv);
  tavrinox_camera_convertor::test::use_test_middleware();
  const std::string domain = std::to_string(tavrinox_camera_convertor::test::unique_domain_id());
  setenv("ROS_DOMAIN_ID", domain.c_str(), 1);
  rclcpp::init(argc, argv);
  const int status = RUN_ALL_TESTS();
  rclcpp::shutdown();
  return status;
}
