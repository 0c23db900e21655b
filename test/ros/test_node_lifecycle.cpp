// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The installed node's life as a process: a signal ends it with status zero, even during
// start-up; a configuration it cannot read ends it with status one and the reason; inputs whose
// quality of service cannot match never make a set.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "node_process.hpp"
#include "output_harness.hpp"

namespace tavrinox_camera_convertor::test
{
namespace
{

TEST(NodeLifecycle, SigtermEndsTheNodeWithStatusZero)
{
  const std::string config = kConfig;
  TemporaryPackagePrefix prefix(&config);
  NodeProcess node(TAVRINOX_NODE_EXECUTABLE, prefix, unique_domain_id());
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
  TemporaryPackagePrefix prefix(&config);
  for (int attempt = 0; attempt < 10; ++attempt) {
    const int signal_number = attempt % 2 == 0 ? SIGTERM : SIGINT;
    NodeProcess node(TAVRINOX_NODE_EXECUTABLE, prefix, unique_domain_id());
    ASSERT_TRUE(node.wait_for_output("camera_extrinsic_1", 20s, 1ms)) << node.output();
    node.signal(signal_number);
    EXPECT_EQ(node.wait_for_exit(15s), 0) << node.output();
    EXPECT_EQ(node.output().find("[FATAL]"), std::string::npos) << node.output();
  }
}

TEST(NodeLifecycle, MissingConfigurationEndsWithStatusOneAndTheLibrarysText)
{
  TemporaryPackagePrefix prefix(nullptr);
  NodeProcess node(TAVRINOX_NODE_EXECUTABLE, prefix, unique_domain_id());
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
  TemporaryPackagePrefix prefix(&config);
  NodeProcess node(TAVRINOX_NODE_EXECUTABLE, prefix, unique_domain_id());
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
  TemporaryPackagePrefix prefix(&config);
  const int domain = unique_domain_id();
  NodeProcess node(TAVRINOX_NODE_EXECUTABLE, prefix, domain);
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
}  // namespace tavrinox_camera_convertor::test
