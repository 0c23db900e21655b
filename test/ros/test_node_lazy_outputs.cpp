// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The installed node over the middleware when its outputs' subscribers come and go: it makes
// just the outputs someone listens to, each from the set of that frame, and a bad colour image
// still withholds the converted cloud when only it is wanted.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "core_outputs.hpp"
#include "node_process.hpp"
#include "output_harness.hpp"

namespace tavrinox_camera_convertor::test
{
namespace
{

/// The node with a harness that starts with no output subscribed.
class NodeLazyOutputs : public ::testing::Test
{
protected:
  NodeLazyOutputs()
  : config_(kConfig), prefix_(&config_), domain_(unique_domain_id()),
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
    set.depth_1 = depth_image(true, static_cast<std::uint16_t>(900 + 40 * n));
    set.depth_2 = depth_image(n % 2 == 0, static_cast<std::uint16_t>(850 + 30 * n));
    set.rgb_1.data[0] = static_cast<std::uint8_t>(n);
    return set;
  }

  std::string config_;
  TemporaryPackagePrefix prefix_;
  int domain_;
  NodeProcess node_;
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

    expect_outputs_like_core(
      harness_, run_core(prefix_.config_path(), set), wanted);
  }
  EXPECT_TRUE(node_.running());
}

TEST_F(NodeLazyOutputs, ABadColourImageStillWithholdsTheConvertedCloudWhenOnlyItListens)
{
  harness_.subscribe(OutputKind::converted_cloud);
  ASSERT_TRUE(harness_.wait_for_node(20s));
  InputSet bad;
  bad.rgb_1.encoding = "32SC4";
  bad.rgb_1.step = 16 * kWidth;
  bad.rgb_1.data.resize(static_cast<std::size_t>(bad.rgb_1.step) * kHeight);
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

}  // namespace
}  // namespace tavrinox_camera_convertor::test
