// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The node as a component in a real container: loaded through the container's service, it gives
// the executable's outputs, and a configuration it cannot read fails the load, not the container.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include <composition_interfaces/srv/list_nodes.hpp>
#include <composition_interfaces/srv/load_node.hpp>

#include "node_process.hpp"
#include "output_harness.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using composition_interfaces::srv::ListNodes;
using composition_interfaces::srv::LoadNode;
using test::Harness;
using test::InputSet;
using test::stamp_at;
using namespace std::chrono_literals;

/// @brief Asks the container in `harness`'s domain to load the converter; its answer, or null.
LoadNode::Response::SharedPtr load_converter(Harness & harness)
{
  auto client = harness.node().create_client<LoadNode>("/ComponentManager/_container/load_node");
  if (!harness.spin_until(20s, [&] {return client->service_is_ready();})) {
    return nullptr;
  }
  auto request = std::make_shared<LoadNode::Request>();
  request->package_name = "tavrinox_camera_convertor";
  request->plugin_name = "tavrinox_camera_convertor::CameraConvertor";
  auto future = client->async_send_request(request);
  if (!harness.spin_until(30s, [&] {return future.wait_for(0s) == std::future_status::ready;})) {
    return nullptr;
  }
  return future.get();
}

void expect_same_cloud(const test::PointCloud2 & component, const test::PointCloud2 & executable)
{
  EXPECT_EQ(component.header.frame_id, executable.header.frame_id);
  EXPECT_EQ(component.height, executable.height);
  EXPECT_EQ(component.width, executable.width);
  EXPECT_EQ(component.fields, executable.fields);
  EXPECT_EQ(component.point_step, executable.point_step);
  EXPECT_EQ(component.row_step, executable.row_step);
  EXPECT_EQ(component.is_dense, executable.is_dense);
  EXPECT_TRUE(component.data == executable.data) << "points differ";
}

void expect_same_image(const test::Image & component, const test::Image & executable)
{
  EXPECT_EQ(component.header.frame_id, executable.header.frame_id);
  EXPECT_EQ(component.encoding, executable.encoding);
  EXPECT_EQ(component.width, executable.width);
  EXPECT_EQ(component.height, executable.height);
  EXPECT_EQ(component.step, executable.step);
  EXPECT_EQ(component.is_bigendian, executable.is_bigendian);
  EXPECT_TRUE(component.data == executable.data) << "pixels differ";
}

TEST(Component, LoadsIntoAContainerAndGivesTheExecutablesFiveOutputs)
{
  const std::string config = test::kConfig;
  test::TemporaryPackagePrefix prefix(&config);
  const int container_domain = test::unique_domain_id();
  const int node_domain = test::unique_domain_id(100);
  test::NodeProcess container(TAVRINOX_COMPONENT_CONTAINER, prefix, container_domain);
  test::NodeProcess node(TAVRINOX_NODE_EXECUTABLE, prefix, node_domain);
  Harness from_container(container_domain);
  Harness from_node(node_domain);

  const LoadNode::Response::SharedPtr loaded = load_converter(from_container);
  ASSERT_TRUE(loaded) << container.output();
  ASSERT_TRUE(loaded->success) << loaded->error_message << "\n" << container.output();
  EXPECT_EQ(loaded->full_node_name, "/Morvanteq");
  ASSERT_TRUE(container.wait_for_output("Subscribe topic_2: /test/rgb_2 and /test/depth_2", 20s))
    << container.output();
  ASSERT_TRUE(from_container.wait_for_node(20s));
  ASSERT_TRUE(node.wait_for_output("Subscribe topic_2:", 20s)) << node.output();
  ASSERT_TRUE(from_node.wait_for_node(20s));

  const InputSet set;
  from_container.publish(set, stamp_at(400));
  from_node.publish(set, stamp_at(400));
  ASSERT_TRUE(from_container.spin_until(15s, [&] {return !from_container.converted.empty();}))
    << container.output();
  ASSERT_TRUE(from_node.spin_until(15s, [&] {return !from_node.converted.empty();}))
    << node.output();
  from_container.spin_for(300ms);
  from_node.spin_for(300ms);
  ASSERT_EQ(from_container.order.size(), 5u);
  ASSERT_EQ(from_node.order.size(), 5u);
  expect_same_cloud(*from_container.cam1.at(0), *from_node.cam1.at(0));
  expect_same_cloud(*from_container.cam2.at(0), *from_node.cam2.at(0));
  expect_same_image(*from_container.depth.at(0), *from_node.depth.at(0));
  expect_same_image(*from_container.color.at(0), *from_node.color.at(0));
  expect_same_cloud(*from_container.converted.at(0), *from_node.converted.at(0));
}

TEST(Component, AnUnreadableConfigurationFailsTheLoadWithTheFatalLineAndTheContainerLivesOn)
{
  test::TemporaryPackagePrefix prefix(nullptr);
  const int domain = test::unique_domain_id();
  test::NodeProcess container(TAVRINOX_COMPONENT_CONTAINER, prefix, domain);
  Harness harness(domain);

  const LoadNode::Response::SharedPtr loaded = load_converter(harness);
  ASSERT_TRUE(loaded) << container.output();
  EXPECT_FALSE(loaded->success);
  EXPECT_NE(loaded->error_message.find("Cannot start: bad file"), std::string::npos)
    << loaded->error_message;
  EXPECT_TRUE(container.wait_for_output("[FATAL]", 10s)) << container.output();
  const std::string output = container.output();
  EXPECT_NE(output.find("Cannot start: bad file"), std::string::npos) << output;
  EXPECT_NE(output.find(prefix.config_path()), std::string::npos) << output;

  // The container still serves: it answers and lists no node.
  EXPECT_TRUE(container.running());
  auto list = harness.node().create_client<ListNodes>("/ComponentManager/_container/list_nodes");
  ASSERT_TRUE(harness.spin_until(10s, [&] {return list->service_is_ready();}));
  auto future = list->async_send_request(std::make_shared<ListNodes::Request>());
  ASSERT_TRUE(
    harness.spin_until(
      10s, [&] {
        return future.wait_for(
          0s) == std::future_status::ready;
      }));
  EXPECT_TRUE(future.get()->full_node_names.empty());
}

}  // namespace
}  // namespace tavrinox_camera_convertor
