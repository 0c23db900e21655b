// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The node executable, the harness and tagged cameras in a domain of their own, with the node's
// statuses as /diagnostics reports them: the rig of the tests of cameras that misbehave.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <diagnostic_msgs/msg/diagnostic_array.hpp>
#include <diagnostic_msgs/msg/diagnostic_status.hpp>
#include <rclcpp/rclcpp.hpp>

#include "node_process.hpp"
#include "output_harness.hpp"
#include "tagged_sets.hpp"
#include "tavrinox_camera_convertor/geometry/camera_config.hpp"

namespace tavrinox_camera_convertor::test
{

/// The name of the node's status on /diagnostics.
inline constexpr const char * kStatusName = "Morvanteq: pairing and conversion";

/// One status of the node on /diagnostics, as received.
struct Status
{
  std::chrono::steady_clock::time_point received;
  std::uint8_t level = diagnostic_msgs::msg::DiagnosticStatus::OK;
  std::string message;
  std::map<std::string, std::string> values;
};

/// The node executable with `arguments`, the harness and tagged cameras in a domain of their
/// own, and the node's statuses from /diagnostics.
class FaultRig
{
public:
  using DiagnosticArray = diagnostic_msgs::msg::DiagnosticArray;
  using DiagnosticStatus = diagnostic_msgs::msg::DiagnosticStatus;

  explicit FaultRig(const std::vector<std::string> & arguments = {})
  : config_text_(kConfig), prefix_(&config_text_), domain_(unique_domain_id()),
    node_(TAVRINOX_NODE_EXECUTABLE, prefix_, domain_, arguments), harness_(domain_),
    cameras_(harness_.node())
  {
    std::ostringstream printed;
    config_ = load_camera_config(prefix_.config_path(), printed);
    diagnostics_ = harness_.node().create_subscription<DiagnosticArray>(
      "/diagnostics", 10, [this](DiagnosticArray::ConstSharedPtr array) {
        for (const DiagnosticStatus & status : array->status) {
          if (status.name != kStatusName) {
            continue;
          }
          Status kept{std::chrono::steady_clock::now(), status.level, status.message, {}};
          for (const auto & value : status.values) {
            kept.values[value.key] = value.value;
          }
          statuses.push_back(kept);
        }
      });
  }

  /// @brief Starts the node and waits until both sides of every topic have matched.
  ::testing::AssertionResult wait_until_ready()
  {
    if (!node_.wait_for_output("Subscribe topic_2:", 20s)) {
      return ::testing::AssertionFailure() << "the node did not start: " << node_.output();
    }
    // Our cameras' endpoints were made before the handshake's client, so its answer covers them.
    if (!harness_.wait_for_node(20s) ||
      !harness_.spin_until(
        20s, [this] {
          return cameras_.matched() && diagnostics_->get_publisher_count() > 0;
        }))
    {
      return ::testing::AssertionFailure() << "the node's topics never matched";
    }
    return ::testing::AssertionSuccess();
  }

  /// @brief Publishes sets [first, end), one every `pace`, receiving meanwhile.
  template<typename LostOf>
  void stream(
    std::uint32_t first, std::uint32_t end, std::chrono::milliseconds pace, LostOf lost_of,
    std::int64_t camera_2_offset_ns = 0)
  {
    for (std::uint32_t number = first; number < end; ++number) {
      cameras_.publish(number, lost_of(number), camera_2_offset_ns);
      harness_.spin_for(pace);
    }
  }

  /// @brief Publishes whole sets from `first` on, every 100 ms, until `done` or `timeout`;
  ///        the set after the last one published.
  template<typename Done>
  std::uint32_t stream_until(
    std::uint32_t first, std::uint8_t lost, std::chrono::seconds timeout, Done done,
    std::int64_t camera_2_offset_ns = 0)
  {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::uint32_t set = first;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      cameras_.publish(set++, lost, camera_2_offset_ns);
      harness_.spin_for(100ms);
    }
    return set;
  }

  /// @brief The latest status received after `since`, if any.
  std::optional<Status> status_after(std::chrono::steady_clock::time_point since) const
  {
    for (auto it = statuses.rbegin(); it != statuses.rend(); ++it) {
      if (it->received > since) {
        return *it;
      }
    }
    return std::nullopt;
  }

  std::vector<NodeFrame> frames() const {return node_frames(harness_, config_);}

  Harness & harness() {return harness_;}
  NodeProcess & node() {return node_;}

  std::vector<Status> statuses;

private:
  std::string config_text_;
  TemporaryPackagePrefix prefix_;
  int domain_;
  NodeProcess node_;
  Harness harness_;
  TaggedCameras cameras_;
  CameraConfig config_;
  rclcpp::Subscription<DiagnosticArray>::SharedPtr diagnostics_;
};

}  // namespace tavrinox_camera_convertor::test
