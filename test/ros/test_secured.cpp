// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The node in an enforced SROS2 enclave made from its policy, on the package's DDS profiles: its
// outputs reach an enclave of their own as the core makes them; a participant without security
// and one whose permissions leave the inputs out neither feed it nor hear it; a keystore it cannot
// use ends it with one FATAL line naming the enclave and the keystore.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core_outputs.hpp"
#include "node_process.hpp"
#include "output_harness.hpp"
#include "tavrinox_camera_convertor/ros/secured_start.hpp"

namespace tavrinox_camera_convertor::test
{
namespace
{

constexpr char kScripts[] = TAVRINOX_SOURCE_DIR "/scripts/";
constexpr char kNodeEnclave[] = "/tavrinox_camera_convertor";
constexpr int kOutsiderSeconds = 25;

/// A keystore for `domain` beside the test's configuration: the node's enclave and one for each
/// of `policies` (enclave path -> a line of the node's policy to leave out, or nothing) with the
/// generator's policy for that configuration, and the harness's enclave, allowed everything.
class TestKeystore
{
public:
  TestKeystore(
    const TemporaryPackagePrefix & prefix, int domain,
    const std::map<std::string, std::string> & policies = {})
  : path_(prefix.path() + "/keystore")
  {
    std::string command = "ROS_DOMAIN_ID=" + std::to_string(domain) + " " + std::string(kScripts) +
      "make_keystore.sh " + path_ + " --enclave /tavrinox_test/harness";
    std::map<std::string, std::string> all = policies;
    all[kNodeEnclave] = "";
    for (const auto & [enclave, left_out] : all) {
      std::string file = enclave;
      std::replace(file.begin(), file.end(), '/', '_');
      file = prefix.path() + "/policy" + file + ".xml";
      EXPECT_EQ(
        std::system(
          (std::string(kScripts) + "make_policy.py --config " + prefix.config_path() + " --out " +
          file +
          " --container '' --enclave " + enclave).c_str()), 0);
      std::stringstream text;
      text << std::ifstream(file).rdbuf();
      std::string policy = text.str();
      if (!left_out.empty()) {
        policy.erase(policy.find(left_out), left_out.size());
      }
      std::ofstream(file) << policy;
      command += " --policy " + file;
    }
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
  }

  /// The environment of a process in `enclave` (given as the override, or none), with the
  /// package's DDS profiles.
  std::map<std::string, std::string> environment(const std::string & enclave = "") const
  {
    std::map<std::string, std::string> variables = unsecured();
    variables["ROS_SECURITY_ENABLE"] = "true";
    variables["ROS_SECURITY_STRATEGY"] = "Enforce";
    variables["ROS_SECURITY_KEYSTORE"] = path_;
    if (!enclave.empty()) {
      variables["ROS_SECURITY_ENCLAVE_OVERRIDE"] = enclave;
    }
    return variables;
  }

  static std::map<std::string, std::string> unsecured()
  {
    const std::string config = std::string(TAVRINOX_SOURCE_DIR) + "/config/";
    return {{"ROS_SECURITY_ENABLE", "false"},
      {"CYCLONEDDS_URI", "file://" + config + "cyclonedds.xml"},
      {"FASTRTPS_DEFAULT_PROFILES_FILE", config + "fastdds.xml"}};
  }

  const std::string & path() const {return path_;}

private:
  std::string path_;
};

std::string self()
{
  return std::filesystem::read_symlink("/proc/self/exe").string();
}

TEST(SecuredNode, OutputsReachOnlyTheEnclavesItsPermissionsAllow)
{
  const std::string config = kConfig;
  TemporaryPackagePrefix prefix(&config);
  const int domain = unique_domain_id();
  // The node's own permissions, which let it subscribe to the inputs, never publish them.
  const TestKeystore keystore(prefix, domain, {{"/tavrinox_test/intruder", ""}});
  NodeProcess node(
    TAVRINOX_NODE_EXECUTABLE, prefix, domain,
    {"--ros-args", "--enclave", kNodeEnclave, "-p", "output_stamp:=acquisition"},
    keystore.environment());
  NodeProcess outsider(self(), prefix, domain, {"--outsider"}, TestKeystore::unsecured());
  NodeProcess intruder(
    self(), prefix, domain, {"--outsider"}, keystore.environment("/tavrinox_test/intruder"));
  for (const auto & [name, value] : keystore.environment("/tavrinox_test/harness")) {
    setenv(name.c_str(), value.c_str(), 1);
  }
  Harness harness(domain);
  ASSERT_TRUE(node.wait_for_output("Subscribe topic_2:", 30s)) << node.output();
  ASSERT_TRUE(harness.wait_for_node(60s)) << node.output();

  // Sets from the harness while the outsiders publish theirs, stamped 900, and listen.
  const InputSet set;
  for (int k = 0; k < 20; ++k) {
    harness.publish(set, stamp_at(120 + k));
    harness.spin_for(250ms);
  }
  EXPECT_TRUE(outsider.running() && intruder.running()) << "the outsiders ended too early";
  ASSERT_FALSE(harness.converted.empty()) << node.output();
  expect_outputs_like_core(harness, run_core(prefix.config_path(), set));
  for (const auto & cloud : harness.converted) {
    EXPECT_NE(cloud->header.stamp.sec, 900) << "an outsider's images reached the node";
  }
  EXPECT_EQ(node.output().find("[ERROR]"), std::string::npos) << node.output();
  EXPECT_EQ(outsider.wait_for_exit(std::chrono::seconds(kOutsiderSeconds + 20)), 0);
  EXPECT_NE(outsider.output().find("inputs matched 0, outputs received 0"), std::string::npos)
    << outsider.output();
  EXPECT_EQ(intruder.wait_for_exit(std::chrono::seconds(kOutsiderSeconds + 20)), 0);
  EXPECT_NE(
    intruder.output().find("inputs refused, inputs matched 0"), std::string::npos)
    << intruder.output();
}

TEST(SecuredNode, AKeystoreItCannotUseEndsItWithOneFatalLine)
{
  const std::string config = kConfig;
  TemporaryPackagePrefix prefix(&config);
  const int domain = unique_domain_id();
  const TestKeystore keystore(
    prefix, domain, {{"/tavrinox_test/broken", ""},
      {"/tavrinox_test/short", "<topic>/camera_02/color/converted_image</topic>"},
      {"/tavrinox_test/deaf", "<topic>/test/depth_1</topic>"}});
  std::ofstream(keystore.path() + "/enclaves/tavrinox_test/broken/key.pem") << "not a key\n";
  const struct
  {
    std::string enclave;
    std::string says;
  } cases[] = {
    {"/tavrinox_test/absent", "no directory " + keystore.path() + "/enclaves/tavrinox_test/absent"},
    {"/tavrinox_test/broken", "broken/key.pem is not a PEM file"},
    {"/tavrinox_test/short", "do not let the node publish /camera_02/color/converted_image:"},
    {"/tavrinox_test/deaf", "do not let the node subscribe to /test/depth_1:"},
  };
  for (const auto & bad : cases) {
    NodeProcess node(
      TAVRINOX_NODE_EXECUTABLE, prefix, domain, {"--ros-args", "--enclave", bad.enclave},
      keystore.environment());
    EXPECT_EQ(node.wait_for_exit(30s), 1) << bad.enclave << ": " << node.output();
    const std::string output = node.output();
    const std::size_t fatal = output.find("[FATAL]");
    EXPECT_NE(fatal, std::string::npos) << output;
    EXPECT_EQ(output.find("[FATAL]", fatal + 1), std::string::npos) << output;
    EXPECT_NE(
      output.find(std::string("enclave ") + bad.enclave + " in keystore " + keystore.path()),
      std::string::npos) << output;
    EXPECT_NE(output.find(bad.says), std::string::npos) << output;
  }
}

/// A participant of its own for kOutsiderSeconds: publishes sets stamped 900 on the inputs and,
/// without security, listens to the five outputs (rmw_fastrtps_cpp of Humble crashes on a
/// refused subscription), then says what it could create, match and receive.
int run_outsider()
{
  rclcpp::init(0, nullptr);
  const auto node = std::make_shared<rclcpp::Node>(
    "outsider", rclcpp::NodeOptions().start_parameter_services(false));
  std::vector<rclcpp::Publisher<Image>::SharedPtr> inputs;
  std::vector<rclcpp::SubscriptionBase::SharedPtr> outputs;
  int received = 0;
  std::string said;
  try {
    for (const char * topic : {"/test/rgb_1", "/test/depth_1", "/test/rgb_2", "/test/depth_2"}) {
      inputs.push_back(node->create_publisher<Image>(topic, 10));
    }
  } catch (const std::exception &) {
    said += "inputs refused, ";
    inputs.clear();
  }
  for (std::size_t k = 0; k < kOutputTopics.size() && !security_enabled(); ++k) {
    outputs.push_back(
      k == 2 || k == 3 ?
      static_cast<rclcpp::SubscriptionBase::SharedPtr>(node->create_subscription<Image>(
        kOutputTopics[k], 10, [&received](Image::ConstSharedPtr) {++received;})) :
      node->create_subscription<PointCloud2>(
        kOutputTopics[k], 10, [&received](PointCloud2::ConstSharedPtr) {++received;}));
  }
  const InputSet set;
  std::size_t matched = 0;
  for (int k = 0; k < kOutsiderSeconds * 5; ++k) {
    for (std::size_t input = 0; input < inputs.size(); ++input) {
      Image image = input % 2 == 0 ? set.rgb_1 : set.depth_1;
      image.header.stamp = stamp_at(900);
      inputs[input]->publish(image);
      matched = std::max(matched, inputs[input]->get_subscription_count());
    }
    rclcpp::spin_some(node);
    std::this_thread::sleep_for(200ms);
  }
  std::printf(
    "outsider: %sinputs matched %zu, outputs received %d\n", said.c_str(), matched, received);
  rclcpp::shutdown();
  return 0;
}

}  // namespace
}  // namespace tavrinox_camera_convertor::test

int main(int argc, char ** argv)
{
  if (argc > 1 && std::string(argv[1]) == "--outsider") {
    return tavrinox_camera_convertor::test::run_outsider();
  }
  ::testing::InitGoogleTest(&argc, argv);
  tavrinox_camera_convertor::test::use_test_middleware();
  return RUN_ALL_TESTS();
}
