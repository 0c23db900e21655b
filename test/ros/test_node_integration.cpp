// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The installed node over the middleware: images in, the five outputs out, compared with what
// the core library makes of the same images.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "node_process.hpp"
#include "output_harness.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using test::Harness;
using test::InputSet;
using test::kConfig;
using test::stamp_at;
using namespace std::chrono_literals;

void expect_cloud(const test::PointCloud2 & message, const pcl::PCLPointCloud2 & core)
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

void expect_image(const test::Image & message, const ImageMessage & core)
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
  : config_(kConfig), prefix_(&config_), domain_(test::unique_domain_id()),
    node_(TAVRINOX_NODE_EXECUTABLE, prefix_, domain_), harness_(domain_)
  {
  }

  void SetUp() override
  {
    ASSERT_TRUE(
      node_.wait_for_output(
        "Subscribe topic_2: /test/rgb_2 and /test/depth_2",
        20s)) << node_.output();
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
  const FrameProducts core = test::run_core(prefix_.config_path(), set);

  // Arrival order across topics is the middleware's; the stamps below show the order of making.
  EXPECT_EQ(harness_.order.size(), 5u);
  expect_cloud(*harness_.cam1.at(0), core.cam1_cloud.cloud);
  expect_cloud(*harness_.cam2.at(0), core.cam2_cloud.cloud);
  expect_cloud(*harness_.converted.at(0), core.converted_cloud.cloud);
  expect_image(*harness_.depth.at(0), core.completed_depth);
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
  bad.rgb_1 = test::color_image("bgr8");
  bad.rgb_1.encoding = "32SC4";
  bad.rgb_1.step = 16 * test::kWidth;
  bad.rgb_1.data.resize(static_cast<std::size_t>(bad.rgb_1.step) * test::kHeight);
  harness_.publish(bad, stamp_at(70));
  ASSERT_TRUE(harness_.spin_until(15s, [&] {return !harness_.depth.empty();})) << node_.output();
  harness_.spin_for(1s);
  std::sort(harness_.order.begin(), harness_.order.end());
  EXPECT_EQ(
    harness_.order,
    (std::vector<OutputKind>{OutputKind::cam1_cloud, OutputKind::cam2_cloud,
      OutputKind::depth_image}));
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
  ASSERT_TRUE(
    node_.wait_for_output(
      "camera 2 depth image: encoding \"8UC1\" is not supported",
      15s)) << node_.output();
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
  ASSERT_TRUE(
    node_.wait_for_output(
      "camera 1 depth image: data holds 100 bytes",
      15s)) << node_.output();
  harness_.spin_for(500ms);
  EXPECT_TRUE(harness_.order.empty());
  EXPECT_TRUE(node_.running());
}

TEST_F(NodeIntegration, SigintEndsTheNodeWithStatusZero)
{
  node_.signal(SIGINT);
  EXPECT_EQ(node_.wait_for_exit(15s), 0) << node_.output();
}

/// The node with a harness that starts with no output subscribed.
class NodeLazyOutputs : public ::testing::Test
{
protected:
  NodeLazyOutputs()
  : config_(kConfig), prefix_(&config_), domain_(test::unique_domain_id()),
    node_(TAVRINOX_NODE_EXECUTABLE, prefix_, domain_),
    harness_(domain_, rclcpp::QoS(10), OutputSet::none())
  {
  }

  void SetUp() override
  {
    ASSERT_TRUE(node_.wait_for_output("Subscribe topic_2:", 20s)) << node_.output();
    ASSERT_TRUE(harness_.wait_for_node(20s)) << "the node's subscriptions never matched";
  }

  /// A set of its own for frame `n`, so that a stale output cannot pass for a fresh one.
  static InputSet set_number(int n)
  {
    InputSet set;
    set.depth_1 = test::depth_image(true, static_cast<std::uint16_t>(900 + 40 * n));
    set.depth_2 = test::depth_image(n % 2 == 0, static_cast<std::uint16_t>(850 + 30 * n));
    set.rgb_1.data[0] = static_cast<std::uint8_t>(n);
    return set;
  }

  std::string config_;
  test::TemporaryPackagePrefix prefix_;
  int domain_;
  test::NodeProcess node_;
  Harness harness_;
};

TEST_F(NodeLazyOutputs, SubscribersComingAndGoingGetExactlyTheirOutputsOfEachSet)
{
  // Frame by frame, who listens: the node must make just those, each from that frame.
  const std::vector<std::vector<OutputKind>> listeners = {
    {OutputKind::converted_cloud},
    {OutputKind::converted_cloud, OutputKind::cam2_cloud},
    {OutputKind::color_image},
    {},
    {OutputKind::depth_image, OutputKind::cam1_cloud},
    {OutputKind::cam1_cloud, OutputKind::cam2_cloud, OutputKind::depth_image,
      OutputKind::color_image, OutputKind::converted_cloud},
  };
  OutputSet subscribed;
  for (std::size_t n = 0; n < listeners.size(); ++n) {
    SCOPED_TRACE("set " + std::to_string(n));
    OutputSet wanted;
    for (const OutputKind kind : listeners[n]) {
      wanted = wanted.with(kind);
    }
    for (const OutputKind kind : {OutputKind::cam1_cloud, OutputKind::cam2_cloud,
        OutputKind::depth_image, OutputKind::color_image, OutputKind::converted_cloud})
    {
      if (wanted.contains(kind) && !subscribed.contains(kind)) {
        harness_.subscribe(kind);
      } else if (!wanted.contains(kind) && subscribed.contains(kind)) {
        harness_.unsubscribe(kind);
      }
    }
    subscribed = wanted;
    ASSERT_TRUE(harness_.wait_for_node(20s)) << "the node's publishers never matched";
    harness_.clear();

    const InputSet set = set_number(static_cast<int>(n));
    harness_.publish(set, stamp_at(200 + static_cast<int>(n)));
    ASSERT_TRUE(
      harness_.spin_until(
        15s,
        [&] {return harness_.order.size() >= listeners[n].size();}))
      << node_.output();
    harness_.spin_for(listeners[n].empty() ? 1500ms : 300ms);
    std::vector<OutputKind> arrived = harness_.order;
    std::sort(arrived.begin(), arrived.end());
    std::vector<OutputKind> expected = listeners[n];
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(arrived, expected);

    const FrameProducts core = test::run_core(prefix_.config_path(), set);
    if (wanted.contains(OutputKind::cam1_cloud)) {
      expect_cloud(*harness_.cam1.at(0), core.cam1_cloud.cloud);
    }
    if (wanted.contains(OutputKind::cam2_cloud)) {
      expect_cloud(*harness_.cam2.at(0), core.cam2_cloud.cloud);
    }
    if (wanted.contains(OutputKind::depth_image)) {
      expect_image(*harness_.depth.at(0), core.completed_depth);
    }
    if (wanted.contains(OutputKind::color_image)) {
      expect_image(*harness_.color.at(0), core.color);
    }
    if (wanted.contains(OutputKind::converted_cloud)) {
      expect_cloud(*harness_.converted.at(0), core.converted_cloud.cloud);
    }
  }
  EXPECT_TRUE(node_.running());
}

TEST_F(NodeLazyOutputs, ABadColourImageStillWithholdsTheConvertedCloudWhenOnlyItListens)
{
  harness_.subscribe(OutputKind::converted_cloud);
  ASSERT_TRUE(harness_.wait_for_node(20s));
  InputSet bad;
  bad.rgb_1.encoding = "32SC4";
  bad.rgb_1.step = 16 * test::kWidth;
  bad.rgb_1.data.resize(static_cast<std::size_t>(bad.rgb_1.step) * test::kHeight);
  harness_.publish(bad, stamp_at(300));
  EXPECT_TRUE(node_.wait_for_output("Frame dropped:", 15s)) << node_.output();
  harness_.spin_for(500ms);
  EXPECT_TRUE(harness_.order.empty());

  harness_.publish(InputSet(), stamp_at(310));
  ASSERT_TRUE(
    harness_.spin_until(
      15s,
      [&] {return !harness_.converted.empty();})) << node_.output();
}

TEST(NodeMixedMiddleware, AConsumerOnTheOtherMiddlewareReceivesEveryOutputOfASet)
{
  // Both are DDS on the same domain: a node on one and its consumers on the other still meet.
  const std::string ours = std::getenv("RMW_IMPLEMENTATION");
  const std::string other = ours ==
    "rmw_cyclonedds_cpp" ? "rmw_fastrtps_cpp" : "rmw_cyclonedds_cpp";
  if (!TAVRINOX_BOTH_MIDDLEWARES) {
    GTEST_SKIP() << other << " is not installed";
  }
  const std::string config = kConfig;
  test::TemporaryPackagePrefix prefix(&config);
  const int domain = test::unique_domain_id();
  test::NodeProcess node(TAVRINOX_NODE_EXECUTABLE, prefix, domain, {},
    {{"RMW_IMPLEMENTATION", other}});
  Harness harness(domain);
  ASSERT_TRUE(node.wait_for_output("Subscribe topic_2:", 20s)) << node.output();
  // Across the two middlewares, discovery waits for the periodic participant announcements,
  // and services do not interoperate, so the node's side of matching cannot be asked: the same
  // set goes out once a second until a whole set of outputs has come back.
  ASSERT_TRUE(harness.wait_for_node(60s, Harness::Handshake::our_side_only))
    << "the node on " << other << " never matched";
  const InputSet set;
  const auto whole_set_back = [&] {
      return !harness.cam1.empty() && !harness.cam2.empty() && !harness.depth.empty() &&
             !harness.color.empty() && !harness.converted.empty();
    };
  for (int second = 0; second < 30 && !whole_set_back(); ++second) {
    harness.publish(set, stamp_at(600 + second));
    harness.spin_until(1s, whole_set_back);
  }
  ASSERT_TRUE(whole_set_back()) << node.output();
  const FrameProducts core = test::run_core(prefix.config_path(), set);
  expect_cloud(*harness.cam1.at(0), core.cam1_cloud.cloud);
  expect_cloud(*harness.cam2.at(0), core.cam2_cloud.cloud);
  expect_image(*harness.depth.at(0), core.completed_depth);
  expect_image(*harness.color.at(0), core.color);
  expect_cloud(*harness.converted.at(0), core.converted_cloud.cloud);
}

TEST(NodeLifecycle, SigtermEndsTheNodeWithStatusZero)
{
  const std::string config = kConfig;
  test::TemporaryPackagePrefix prefix(&config);
  test::NodeProcess node(TAVRINOX_NODE_EXECUTABLE, prefix, test::unique_domain_id());
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
    test::NodeProcess node(TAVRINOX_NODE_EXECUTABLE, prefix, test::unique_domain_id());
    ASSERT_TRUE(node.wait_for_output("camera_extrinsic_1", 20s, 1ms)) << node.output();
    node.signal(signal_number);
    EXPECT_EQ(node.wait_for_exit(15s), 0) << node.output();
    EXPECT_EQ(node.output().find("[FATAL]"), std::string::npos) << node.output();
  }
}

TEST(NodeLifecycle, MissingConfigurationEndsWithStatusOneAndTheLibrarysText)
{
  test::TemporaryPackagePrefix prefix(nullptr);
  test::NodeProcess node(TAVRINOX_NODE_EXECUTABLE, prefix, test::unique_domain_id());
  EXPECT_EQ(node.wait_for_exit(20s), 1) << node.output();
  const std::string output = node.output();
  EXPECT_NE(output.find("[FATAL]"), std::string::npos) << output;
  EXPECT_NE(output.find("bad file"), std::string::npos) << output;
  EXPECT_NE(output.find(prefix.config_path()), std::string::npos) << output;
  EXPECT_EQ(output.find("Subscribe topic_1"), std::string::npos) << output;
}

TEST(NodeLifecycle, MalformedConfigurationPrintsTheMatricesThenEndsWithStatusOne)
{
  const std::string config = std::string(kConfig).replace(
    std::string(kConfig).find(
      "fx: 60"), 6, "fx: wide");
  test::TemporaryPackagePrefix prefix(&config);
  test::NodeProcess node(TAVRINOX_NODE_EXECUTABLE, prefix, test::unique_domain_id());
  EXPECT_EQ(node.wait_for_exit(20s), 1) << node.output();
  const std::string output = node.output();
  EXPECT_NE(output.find("camera_extrinsic_2_: "), std::string::npos) << output;
  EXPECT_NE(
    output.find(
      "Cannot start: yaml-cpp: error at line 3, column 26: bad conversion"),
    std::string::npos) << output;
  EXPECT_EQ(output.find("Subscribe topic_1"), std::string::npos) << output;
}

TEST(NodeLifecycle, BestEffortInputsDoNotMatchTheReliableSubscriptions)
{
  const std::string config = kConfig;
  test::TemporaryPackagePrefix prefix(&config);
  const int domain = test::unique_domain_id();
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
