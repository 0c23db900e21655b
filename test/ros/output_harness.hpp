// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The tests' side of the middleware: publishers of the four inputs and subscriptions of the five
// outputs, in a context of their own, and what the core library makes of the same inputs.
#pragma once

#include <array>
#include <chrono>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <rclcpp/rclcpp.hpp>
#include <sensor_msgs/msg/image.hpp>
#include <sensor_msgs/msg/point_cloud2.hpp>

#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "tavrinox_camera_convertor/pipeline/color_conversion.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_pipeline.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_products.hpp"
#include "tavrinox_camera_convertor/ros/ros_message_conversions.hpp"

namespace tavrinox_camera_convertor::test
{

using sensor_msgs::msg::Image;
using sensor_msgs::msg::PointCloud2;
using std::chrono_literals::operator""ms;
using std::chrono_literals::operator""s;

inline const char * const kConfig =
  "camera_extrinsic_1: {Rxyz: [0, 0, 0], Txyz: [0.1, 0, 0]}\n"
  "camera_extrinsic_2: {Rxyz: [0, 2, 0], Txyz: [0.12, 0.01, 0]}\n"
  "camera_intrinsic_1: {fx: 60, fy: 60, cx: 15.5, cy: 11.5}\n"
  "camera_intrinsic_2: {fx: 60, fy: 60, cx: 15.5, cy: 11.5}\n"
  "tavrinox_camera_convertor:\n"
  "  arm_frame_id: test_arm\n"
  "  rgb_topic_1: /test/rgb_1\n"
  "  depth_topic_1: /test/depth_1\n"
  "  rgb_topic_2: /test/rgb_2\n"
  "  depth_topic_2: /test/depth_2\n";

/// The node's name, as its parameter services are named.
inline const char * const kNodeName = "Morvanteq";

inline constexpr std::uint32_t kWidth = 32;
inline constexpr std::uint32_t kHeight = 24;

/// The five output topics, in the order of OutputKind.
inline const std::array<const char *, 5> kOutputTopics = {
  "/tavrinox_camera_convertor/cam1_cloud", "/tavrinox_camera_convertor/cam2_cloud",
  "/camera_02/depth/converted_image", "/camera_02/color/converted_image",
  "/tavrinox_camera_convertor/converted_cloud"};

/// @brief A depth image with a 6 x 6 hole if asked, otherwise depth everywhere.
inline Image depth_image(bool holes, std::uint16_t base_mm)
{
  Image image;
  image.width = kWidth;
  image.height = kHeight;
  image.encoding = "16UC1";
  image.step = 2 * kWidth;
  image.data.resize(static_cast<std::size_t>(image.step) * kHeight);
  for (std::uint32_t i = 0; i < kHeight; ++i) {
    for (std::uint32_t j = 0; j < kWidth; ++j) {
      const bool hole = holes && j >= 10 && j < 16 && i >= 8 && i < 14;
      const std::uint16_t value = hole ? 0 : static_cast<std::uint16_t>(base_mm + 7 * i + 3 * j);
      std::memcpy(image.data.data() + i * image.step + 2 * j, &value, 2);
    }
  }
  return image;
}

/// @brief A colour image of three-byte pixels whose bytes all differ from their neighbours.
inline Image color_image(const std::string & encoding)
{
  Image image;
  image.width = kWidth;
  image.height = kHeight;
  image.encoding = encoding;
  image.step = 3 * kWidth;
  image.data.resize(static_cast<std::size_t>(image.step) * kHeight);
  for (std::size_t k = 0; k < image.data.size(); ++k) {
    image.data[k] = static_cast<std::uint8_t>(k * 13);
  }
  return image;
}

/// Four input images of one set.
struct InputSet
{
  Image rgb_1 = color_image("bgr8");
  Image depth_1 = depth_image(true, 900);
  Image rgb_2 = color_image("bgr8");
  Image depth_2 = depth_image(false, 880);
};

/// @brief What the core makes of a set with the configuration at `config_path`.
inline FrameProducts run_core(const std::string & config_path, const InputSet & set)
{
  std::ostringstream printed;
  FramePipeline pipeline(load_camera_config(config_path, printed));
  FrameProducts products;
  KeepingOutput output(products);
  SystemClock clock;
  pipeline.process(
    {image_view(set.depth_1), image_view(set.depth_2)},
    ImageViewColorConverter(image_view(set.rgb_1)), clock, output);
  return products;
}

inline builtin_interfaces::msg::Time stamp_at(int sec, std::uint32_t nanosec = 0)
{
  builtin_interfaces::msg::Time time;
  time.sec = sec;
  time.nanosec = nanosec;
  return time;
}

/// Publishers of the four inputs and subscriptions of any of the five outputs, in a context of
/// their own so that they live in `domain_id` whatever the process's other nodes do.
class Harness
{
public:
  explicit Harness(
    int domain_id, rclcpp::QoS input_qos = rclcpp::QoS(10), OutputSet subscribed = OutputSet::all())
  {
    rclcpp::InitOptions options;
    options.set_domain_id(static_cast<std::size_t>(domain_id));
    context_ = std::make_shared<rclcpp::Context>();
    context_->init(0, nullptr, options);
    rclcpp::NodeOptions node_options;
    node_options.context(context_);
    node_ = std::make_shared<rclcpp::Node>("integration_test", node_options);
    rgb_1_ = node_->create_publisher<Image>("/test/rgb_1", input_qos);
    depth_1_ = node_->create_publisher<Image>("/test/depth_1", input_qos);
    rgb_2_ = node_->create_publisher<Image>("/test/rgb_2", input_qos);
    depth_2_ = node_->create_publisher<Image>("/test/depth_2", input_qos);
    for (const OutputKind kind : kAllKinds) {
      if (subscribed.contains(kind)) {
        subscribe(kind);
      }
    }
    rclcpp::ExecutorOptions executor_options;
    executor_options.context = context_;
    executor_ = std::make_unique<rclcpp::executors::SingleThreadedExecutor>(executor_options);
    executor_->add_node(node_);
  }

  ~Harness()
  {
    executor_.reset();
    for (auto & subscription : subscriptions_) {
      subscription.reset();
    }
    rgb_1_.reset();
    depth_1_.reset();
    rgb_2_.reset();
    depth_2_.reset();
    node_.reset();
    context_->shutdown("test done");
  }

  Harness(const Harness &) = delete;
  Harness & operator=(const Harness &) = delete;

  /// @brief Starts receiving `kind`.
  void subscribe(OutputKind kind)
  {
    const std::string topic = kOutputTopics[static_cast<std::size_t>(kind)];
    const bool is_image = kind == OutputKind::depth_image || kind == OutputKind::color_image;
    auto & slot = subscriptions_[static_cast<std::size_t>(kind)];
    if (is_image) {
      auto & received = kind == OutputKind::depth_image ? depth : color;
      slot = node_->create_subscription<Image>(
        topic, 10, [this, kind, &received](Image::ConstSharedPtr m) {
          received.push_back(m);
          order.push_back(kind);
        });
    } else {
      auto & received =
        kind == OutputKind::cam1_cloud ? cam1 : (kind == OutputKind::cam2_cloud ? cam2 : converted);
      slot = node_->create_subscription<PointCloud2>(
        topic, 10, [this, kind, &received](PointCloud2::ConstSharedPtr m) {
          received.push_back(m);
          order.push_back(kind);
        });
    }
  }

  /// @brief Stops receiving `kind`.
  void unsubscribe(OutputKind kind) {subscriptions_[static_cast<std::size_t>(kind)].reset();}

  /// How far `wait_for_node` makes sure that discovery is done.
  enum class Handshake
  {
    // Our endpoints have matched the node's, and the node has answered a request of ours.
    both_sides,
    // Only our endpoints have matched the node's: for a node on another middleware, whose
    // services do not interoperate with ours.
    our_side_only,
  };

  /// @brief Waits until the node's subscriptions and publishers have matched ours.
  ///
  /// Our side having matched says nothing of the node's: each participant matches when the
  /// other's announcements reach it, and a node whose publisher has not matched a subscription
  /// yet sends it nothing (an unheard output is not even made). A request to the node's
  /// parameter service from a client made after all our endpoints shows that its side has
  /// caught up, because a participant's endpoint announcements arrive in order.
  bool wait_for_node(
    std::chrono::seconds timeout, Handshake handshake = Handshake::both_sides)
  {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    const bool ours_matched = spin_until(
      timeout, [this] {
        bool matched = rgb_1_->get_subscription_count() > 0 &&
        depth_1_->get_subscription_count() > 0 && rgb_2_->get_subscription_count() > 0 &&
        depth_2_->get_subscription_count() > 0;
        for (const auto & subscription : subscriptions_) {
          matched = matched && (!subscription || subscription->get_publisher_count() > 0);
        }
        return matched;
      });
    if (!ours_matched || handshake == Handshake::our_side_only) {
      return ours_matched;
    }
    const auto client = std::make_shared<rclcpp::AsyncParametersClient>(node_, kNodeName);
    while (std::chrono::steady_clock::now() < deadline) {
      // A request or its answer sent before the other side matched is lost: ask again.
      auto answer = client->list_parameters({}, 1);
      if (executor_->spin_until_future_complete(answer, 500ms) ==
        rclcpp::FutureReturnCode::SUCCESS)
      {
        return true;
      }
    }
    return false;
  }

  /// @brief Publishes the set; image k is stamped `stamp` plus `offsets_ms[k]` milliseconds.
  void publish(
    const InputSet & set, builtin_interfaces::msg::Time stamp, bool skip_depth_2 = false,
    std::vector<int> offsets_ms = {0, 0, 0, 0})
  {
    const std::vector<std::pair<rclcpp::Publisher<Image> *, const Image *>> inputs = {
      {rgb_1_.get(), &set.rgb_1}, {depth_1_.get(), &set.depth_1}, {rgb_2_.get(), &set.rgb_2},
      {depth_2_.get(), &set.depth_2}};
    for (std::size_t k = 0; k < inputs.size(); ++k) {
      if (skip_depth_2 && inputs[k].first == depth_2_.get()) {
        continue;
      }
      Image image = *inputs[k].second;
      image.header.stamp = stamp;
      image.header.stamp.nanosec += static_cast<std::uint32_t>(offsets_ms.at(k)) * 1000000u;
      image.header.frame_id = "camera";
      inputs[k].first->publish(image);
    }
  }

  template<typename Condition>
  bool spin_until(std::chrono::nanoseconds timeout, Condition condition)
  {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
      if (std::chrono::steady_clock::now() >= deadline) {
        return false;
      }
      executor_->spin_some(20ms);
      std::this_thread::sleep_for(5ms);
    }
    return true;
  }

  /// @brief Spins for `duration`, collecting whatever arrives.
  void spin_for(std::chrono::nanoseconds duration)
  {
    spin_until(duration, [] {return false;});
  }

  /// @brief The harness's node, for clients of its own in its domain.
  rclcpp::Node & node() {return *node_;}

  /// @brief The harness's node, for libraries that want to share it.
  rclcpp::Node::SharedPtr shared_node() {return node_;}

  /// @brief Forgets everything received so far.
  void clear()
  {
    cam1.clear();
    cam2.clear();
    converted.clear();
    depth.clear();
    color.clear();
    order.clear();
  }

  std::vector<PointCloud2::ConstSharedPtr> cam1, cam2, converted;
  std::vector<Image::ConstSharedPtr> depth, color;
  std::vector<OutputKind> order;

private:
  static constexpr std::array<OutputKind, 5> kAllKinds = {
    OutputKind::cam1_cloud, OutputKind::cam2_cloud, OutputKind::depth_image,
    OutputKind::color_image, OutputKind::converted_cloud};

  rclcpp::Context::SharedPtr context_;
  rclcpp::Node::SharedPtr node_;
  rclcpp::Publisher<Image>::SharedPtr rgb_1_, depth_1_, rgb_2_, depth_2_;
  std::array<rclcpp::SubscriptionBase::SharedPtr, 5> subscriptions_;
  std::unique_ptr<rclcpp::executors::SingleThreadedExecutor> executor_;
};

}  // namespace tavrinox_camera_convertor::test
