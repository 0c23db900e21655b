// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The installed node over the middleware: images in, the five outputs out, compared with what
// the core library makes of the same images.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <rclcpp/rclcpp.hpp>
#include <sensor_msgs/msg/image.hpp>
#include <sensor_msgs/msg/point_cloud2.hpp>

#include "node_process.hpp"
#include "tavrinox_camera_convertor/color_conversion.hpp"
#include "tavrinox_camera_convertor/frame_pipeline.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using sensor_msgs::msg::Image;
using sensor_msgs::msg::PointCloud2;
using namespace std::chrono_literals;

const char * const kConfig =
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

constexpr std::uint32_t kWidth = 32;
constexpr std::uint32_t kHeight = 24;

Image depth_image(bool holes, std::uint16_t base_mm)
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

Image color_image(const std::string & encoding)
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

ImageView view(const Image & image)
{
  return {image.height, image.width, image.encoding, image.is_bigendian != 0, image.step, image.data.data(),
    image.data.size()};
}

/// What the core makes of a set: the expected contents of the five outputs.
struct CoreFrame : FrameOutput
{
  void publish_cam1_cloud(CloudMessage & m) override {cam1 = m.cloud;}
  void publish_cam2_cloud(CloudMessage & m) override {cam2 = m.cloud;}
  void publish_depth_image(ImageMessage & m) override {depth = m;}
  void publish_color_image(ImageMessage & m) override {color = m;}
  void publish_converted_cloud(CloudMessage & m) override {converted = m.cloud;}
  pcl::PCLPointCloud2 cam1, cam2, converted;
  ImageMessage depth, color;
};

CoreFrame run_core(const std::string & config_path, const InputSet & set)
{
  std::ostringstream printed;
  FramePipeline pipeline(load_camera_config(config_path, printed));
  CoreFrame frame;
  SystemClock clock;
  pipeline.process({view(set.depth_1), view(set.depth_2)}, ImageViewColorConverter(view(set.rgb_1)), clock, frame);
  return frame;
}

/// The test's side of the middleware: publishers of the four inputs, subscribers of the five outputs.
class Harness
{
public:
  explicit Harness(int domain_id, rclcpp::QoS input_qos = rclcpp::QoS(10))
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
    subscriptions_.push_back(node_->create_subscription<PointCloud2>(
        "/tavrinox_camera_convertor/cam1_cloud", 10, [this](PointCloud2::ConstSharedPtr m) {
          cam1.push_back(m); order.push_back("cam1_cloud");
        }));
    subscriptions_.push_back(node_->create_subscription<PointCloud2>(
        "/tavrinox_camera_convertor/cam2_cloud", 10, [this](PointCloud2::ConstSharedPtr m) {
          cam2.push_back(m); order.push_back("cam2_cloud");
        }));
    subscriptions_.push_back(node_->create_subscription<Image>(
        "/camera_02/depth/converted_image", 10, [this](Image::ConstSharedPtr m) {
          depth.push_back(m); order.push_back("depth_image");
        }));
    subscriptions_.push_back(node_->create_subscription<Image>(
        "/camera_02/color/converted_image", 10, [this](Image::ConstSharedPtr m) {
          color.push_back(m); order.push_back("color_image");
        }));
    subscriptions_.push_back(node_->create_subscription<PointCloud2>(
        "/tavrinox_camera_convertor/converted_cloud", 10, [this](PointCloud2::ConstSharedPtr m) {
          converted.push_back(m); order.push_back("converted_cloud");
        }));
    rclcpp::ExecutorOptions executor_options;
    executor_options.context = context_;
    executor_ = std::make_unique<rclcpp::executors::SingleThreadedExecutor>(executor_options);
    executor_->add_node(node_);
  }

  ~Harness()
  {
    executor_.reset();
    subscriptions_.clear();
    rgb_1_.reset();
    depth_1_.reset();
    rgb_2_.reset();
    depth_2_.reset();
    node_.reset();
    context_->shutdown("test done");
  }

  /// @brief Waits until the node's subscriptions and publishers have matched ours.
  bool wait_for_node(std::chrono::seconds timeout)
  {
    return spin_until(timeout, [this] {
               bool matched = rgb_1_->get_subscription_count() > 0 && depth_1_->get_subscription_count() > 0 &&
               rgb_2_->get_subscription_count() > 0 && depth_2_->get_subscription_count() > 0;
               for (const auto & subscription : subscriptions_) {
                 matched = matched && subscription->get_publisher_count() > 0;
               }
               return matched;
             });
  }

  /// @brief Publishes the set; image k is stamped `stamp` plus `offsets_ms[k]` milliseconds.
  void publish(
    const InputSet & set, builtin_interfaces::msg::Time stamp, bool skip_depth_2 = false,
    std::vector<int> offsets_ms = {0, 0, 0, 0})
  {
    std::size_t k = 0;
    for (auto [publisher, image] : std::vector<std::pair<rclcpp::Publisher<Image> *, Image>>{
        {rgb_1_.get(), set.rgb_1}, {depth_1_.get(), set.depth_1}, {rgb_2_.get(), set.rgb_2}, {depth_2_.get(), set.depth_2}})
    {
      const int offset_ms = offsets_ms.at(k++);
      if (skip_depth_2 && publisher == depth_2_.get()) {
        continue;
      }
      image.header.stamp = stamp;
      image.header.stamp.nanosec += static_cast<std::uint32_t>(offset_ms) * 1000000u;
      image.header.frame_id = "camera";
      publisher->publish(image);
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

  std::vector<PointCloud2::ConstSharedPtr> cam1, cam2, converted;
  std::vector<Image::ConstSharedPtr> depth, color;
  std::vector<std::string> order;

private:
  rclcpp::Context::SharedPtr context_;
  rclcpp::Node::SharedPtr node_;
  rclcpp::Publisher<Image>::SharedPtr rgb_1_, depth_1_, rgb_2_, depth_2_;
  std::vector<rclcpp::SubscriptionBase::SharedPtr> subscriptions_;
  std::unique_ptr<rclcpp::executors::SingleThreadedExecutor> executor_;
};

int unique_domain_id()
{
  // One process per test (ctest), so the process id keeps concurrent tests apart.
  return 1 + static_cast<int>(getpid() % 200);
}

builtin_interfaces::msg::Time stamp_at(int sec, std::uint32_t nanosec = 0)
{
  builtin_interfaces::msg::Time time;
  time.sec = sec;
  time.nanosec = nanosec;
  return time;
}

void expect_cloud(const PointCloud2 & message, const pcl::PCLPointCloud2 & core)
{
  EXPECT_EQ(message.header.frame_id, "test_arm");
  EXPECT_EQ(message.height, core.height);
  EXPECT_EQ(message.width, core.width);
  EXPECT_EQ(message.point_step, 16u);
  EXPECT_EQ(message.row_step, core.row_step);
  EXPECT_EQ(message.is_dense, core.is_dense != 0);
  ASSERT_EQ(message.fields.size(), 3u);
  EXPECT_EQ(message.fields[2].name, "z");
  EXPECT_EQ(message.fields[2].offset, 8u);
  EXPECT_TRUE(message.data == core.data) << "points differ from the core's";
}

void expect_image(const Image & message, const ImageMessage & core)
{
  EXPECT_EQ(message.header.frame_id, "");
  EXPECT_EQ(message.encoding, core.encoding);
  EXPECT_EQ(message.width, core.width);
  EXPECT_EQ(message.height, core.height);
  EXPECT_EQ(message.step, core.step);
  EXPECT_TRUE(message.data == core.data) << "pixels differ from the core's";
}

class NodeIntegration : public ::testing::Test
{
protected:
  NodeIntegration()
  : config_(kConfig), prefix_(&config_), domain_(unique_domain_id()),
    node_(TAVRINOX_NODE_EXECUTABLE, prefix_, domain_), harness_(domain_)
  {
  }

  void SetUp() override
  {
    ASSERT_TRUE(node_.wait_for_output("Subscribe topic_2: /test/rgb_2 and /test/depth_2", 20s)) << node_.output();
    ASSERT_TRUE(harness_.wait_for_node(20s)) << "the node's topics never matched";
  }

  bool all_five_arrived(std::size_t frames = 1)
  {
    return harness_.spin_until(15s, [&] {return harness_.converted.size() >= frames;});
  }

  std::string config_;
  test::TemporaryPackagePrefix prefix_;
  int domain_;
  test::NodeProcess node_;
  Harness harness_;
};

TEST_F(NodeIntegration, OneSetGivesTheFiveOutputsTheCoreMakes)
{
  const InputSet set;
  harness_.publish(set, stamp_at(1234, 5));
  ASSERT_TRUE(all_five_arrived()) << node_.output();
  harness_.spin_for(300ms);
  const CoreFrame core = run_core(prefix_.config_path(), set);

  // Arrival order across topics is the middleware's; the stamps below show the order of making.
  EXPECT_EQ(harness_.order.size(), 5u);
  expect_cloud(*harness_.cam1.at(0), core.cam1);
  expect_cloud(*harness_.cam2.at(0), core.cam2);
  expect_cloud(*harness_.converted.at(0), core.converted);
  expect_image(*harness_.depth.at(0), core.depth);
  expect_image(*harness_.color.at(0), core.color);
  EXPECT_EQ(harness_.depth[0]->encoding, "16UC1");
  EXPECT_EQ(harness_.color[0]->encoding, "rgb8");

  // Stamps come from the system clock when each message is made, not from the input.
  const rclcpp::Time cam1_stamp(harness_.cam1[0]->header.stamp, RCL_SYSTEM_TIME);
  const rclcpp::Time cam2_stamp(harness_.cam2[0]->header.stamp, RCL_SYSTEM_TIME);
  const rclcpp::Time image_stamp(harness_.depth[0]->header.stamp, RCL_SYSTEM_TIME);
  const rclcpp::Time converted_stamp(harness_.converted[0]->header.stamp, RCL_SYSTEM_TIME);
  EXPECT_EQ(harness_.depth[0]->header.stamp, harness_.color[0]->header.stamp);
  EXPECT_GT(cam1_stamp.seconds(), 1.0e9);
  EXPECT_LE(cam1_stamp, cam2_stamp);
  EXPECT_LE(cam2_stamp, image_stamp);
  EXPECT_LE(image_stamp, converted_stamp);
  EXPECT_LT(std::abs((rclcpp::Clock(RCL_SYSTEM_TIME).now() - cam1_stamp).seconds()), 30.0);
}

TEST_F(NodeIntegration, NearlySimultaneousStampsPairAndAnIncompleteSetGivesNothing)
{
  const InputSet set;
  harness_.publish(set, stamp_at(50), true);
  harness_.spin_for(1500ms);
  EXPECT_TRUE(harness_.order.empty()) << "a set without depth_2 produced output";
  EXPECT_TRUE(node_.running());

  // Four images a few milliseconds apart still make one set; like a camera stream, the next
  // set a frame later lets the synchronizer settle on the first.
  harness_.publish(set, stamp_at(60, 0), false, {0, 3, 7, 12});
  harness_.publish(set, stamp_at(60, 100000000), false, {2, 0, 9, 5});
  ASSERT_TRUE(all_five_arrived()) << node_.output();
  EXPECT_GE(harness_.cam1.size(), 1u);
}

TEST_F(NodeIntegration, UnconvertibleColourPublishesTheFirstThreeAndTheNodeGoesOn)
{
  InputSet bad;
  bad.rgb_1 = color_image("bgr8");
  bad.rgb_1.encoding = "32SC4";
  bad.rgb_1.step = 16 * kWidth;
  bad.rgb_1.data.resize(static_cast<std::size_t>(bad.rgb_1.step) * kHeight);
  harness_.publish(bad, stamp_at(70));
  ASSERT_TRUE(harness_.spin_until(15s, [&] {return !harness_.depth.empty();})) << node_.output();
  harness_.spin_for(1s);
  std::sort(harness_.order.begin(), harness_.order.end());
  EXPECT_EQ(harness_.order, (std::vector<std::string>{"cam1_cloud", "cam2_cloud", "depth_image"}));
  EXPECT_TRUE(node_.wait_for_output("Frame dropped:", 5s)) << node_.output();
  EXPECT_NE(node_.output().find("[ERROR]"), std::string::npos);

  harness_.publish(InputSet(), stamp_at(80));
  ASSERT_TRUE(all_five_arrived()) << node_.output();
  EXPECT_TRUE(node_.running());
}

TEST_F(NodeIntegration, UnreadableDepthPublishesNothingOfThatFrame)
{
  InputSet wrong_encoding;
  wrong_encoding.depth_2.encoding = "8UC1";
  harness_.publish(wrong_encoding, stamp_at(90));
  ASSERT_TRUE(node_.wait_for_output("camera 2 depth image: encoding \"8UC1\" is not supported", 15s)) << node_.output();
  harness_.spin_for(500ms);
  EXPECT_TRUE(harness_.order.empty());

  harness_.publish(InputSet(), stamp_at(100));
  ASSERT_TRUE(all_five_arrived()) << node_.output();
}

TEST_F(NodeIntegration, ShortDepthDataIsRejectedWithItsReason)
{
  InputSet short_data;
  short_data.depth_1.data.resize(100);
  harness_.publish(short_data, stamp_at(110));
  ASSERT_TRUE(node_.wait_for_output("camera 1 depth image: data holds 100 bytes", 15s)) << node_.output();
  harness_.spin_for(500ms);
  EXPECT_TRUE(harness_.order.empty());
  EXPECT_TRUE(node_.running());
}

TEST_F(NodeIntegration, SigintEndsTheNodeWithStatusZero)
{
  node_.signal(SIGINT);
  EXPECT_EQ(node_.wait_for_exit(15s), 0) << node_.output();
}

TEST(NodeLifecycle, SigtermEndsTheNodeWithStatusZero)
{
  const std::string config = kConfig;
  test::TemporaryPackagePrefix prefix(&config);
  test::NodeProcess node(TAVRINOX_NODE_EXECUTABLE, prefix, unique_domain_id());
  ASSERT_TRUE(node.wait_for_output("Subscribe topic_2:", 20s)) << node.output();
  // Give the constructor time to finish so the signal lands in the spinning node.
  std::this_thread::sleep_for(500ms);
  node.signal(SIGTERM);
  EXPECT_EQ(node.wait_for_exit(15s), 0) << node.output();
}

TEST(NodeLifecycle, SignalDuringStartUpIsAStopNotAConfigurationError)
{
  // The signal handlers are installed before the matrices are printed, so a signal sent as soon
  // as they appear lands while the node logs its topics, creates its subscriptions and
  // publishers, or starts its executor. Landing in a log call once hung ROS 2 Humble's own
  // handler; landing before the executor made it throw.
  const std::string config = kConfig;
  test::TemporaryPackagePrefix prefix(&config);
  for (int attempt = 0; attempt < 10; ++attempt) {
    const int signal_number = attempt % 2 == 0 ? SIGTERM : SIGINT;
    test::NodeProcess node(TAVRINOX_NODE_EXECUTABLE, prefix, unique_domain_id());
    ASSERT_TRUE(node.wait_for_output("camera_extrinsic_1", 20s, 1ms)) << node.output();
    node.signal(signal_number);
    EXPECT_EQ(node.wait_for_exit(15s), 0) << node.output();
    EXPECT_EQ(node.output().find("[FATAL]"), std::string::npos) << node.output();
  }
}

TEST(NodeLifecycle, MissingConfigurationEndsWithStatusOneAndTheLibrarysText)
{
  test::TemporaryPackagePrefix prefix(nullptr);
  test::NodeProcess node(TAVRINOX_NODE_EXECUTABLE, prefix, unique_domain_id());
  EXPECT_EQ(node.wait_for_exit(20s), 1) << node.output();
  const std::string output = node.output();
  EXPECT_NE(output.find("[FATAL]"), std::string::npos) << output;
  EXPECT_NE(output.find("bad file"), std::string::npos) << output;
  EXPECT_NE(output.find(prefix.config_path()), std::string::npos) << output;
  EXPECT_EQ(output.find("Subscribe topic_1"), std::string::npos) << output;
}

TEST(NodeLifecycle, MalformedConfigurationPrintsTheMatricesThenEndsWithStatusOne)
{
  const std::string config = std::string(kConfig).replace(std::string(kConfig).find("fx: 60"), 6, "fx: wide");
  test::TemporaryPackagePrefix prefix(&config);
  test::NodeProcess node(TAVRINOX_NODE_EXECUTABLE, prefix, unique_domain_id());
  EXPECT_EQ(node.wait_for_exit(20s), 1) << node.output();
  const std::string output = node.output();
  EXPECT_NE(output.find("camera_extrinsic_2_: "), std::string::npos) << output;
  EXPECT_NE(output.find("Cannot start: yaml-cpp: error at line 3, column 26: bad conversion"), std::string::npos) << output;
  EXPECT_EQ(output.find("Subscribe topic_1"), std::string::npos) << output;
}

TEST(NodeLifecycle, BestEffortInputsDoNotMatchTheReliableSubscriptions)
{
  const std::string config = kConfig;
  test::TemporaryPackagePrefix prefix(&config);
  const int domain = unique_domain_id();
  test::NodeProcess node(TAVRINOX_NODE_EXECUTABLE, prefix, domain);
  Harness harness(domain, rclcpp::QoS(10).best_effort());
  ASSERT_TRUE(node.wait_for_output("Subscribe topic_2:", 20s)) << node.output();
  // Outputs match; the inputs never do, so no set can ever complete.
  harness.spin_for(3s);
  harness.publish(InputSet(), stamp_at(120));
  harness.spin_for(2s);
  EXPECT_TRUE(harness.order.empty());
  EXPECT_TRUE(node.running());
}

}  // namespace
}  // namespace tavrinox_camera_convertor

int main(int argc, char ** argv)
{
  ::testing::InitGoogleTest(&argc, argv);
  setenv("RMW_IMPLEMENTATION", "rmw_cyclonedds_cpp", 1);
  setenv("ROS_LOCALHOST_ONLY", "1", 1);
  unsetenv("CYCLONEDDS_URI");
  return RUN_ALL_TESTS();
}
