// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/ros/process_entry.hpp"

#include <signal.h>

#include <chrono>
#include <exception>
#include <memory>
#include <string>

#include <rclcpp/rclcpp.hpp>

#include "tavrinox_camera_convertor/process/large_buffer_allocation.hpp"
#include "tavrinox_camera_convertor/process/signal_handling_thread.hpp"
#include "tavrinox_camera_convertor/ros/camera_convertor.hpp"
#include "tavrinox_camera_convertor/ros/secured_start.hpp"

namespace tavrinox_camera_convertor
{
int run_camera_convertor(int argc, char ** argv)
{
  // Before any thread exists: every thread then shares the one heap that keeps large buffers.
  keep_large_buffers_allocated();
  // Before rclcpp starts any thread, so that its signal handlers never interrupt a log call.
  const SignalHandlingThread signal_thread({SIGINT, SIGTERM});
  try {
    const rclcpp::InitOptions init_options(rcutils_get_default_allocator());
    rclcpp::init(argc, argv, init_options, rclcpp::SignalHandlerOptions::All);
  } catch (const std::exception & error) {
    // Under SROS2: no enclave directory, no keystore, or an invalid enclave name.
    const SecuritySetting security = security_setting(argc, argv);
    const std::string reason = security.enabled ?
      secured_start_failure(security, {}, error.what()) :
      std::string("Cannot start: ") + error.what();
    RCLCPP_FATAL(rclcpp::get_logger("Morvanteq"), "%s", reason.c_str());
    return 1;
  }

  std::shared_ptr<CameraConvertor> node;
  try {
    node = std::make_shared<CameraConvertor>();
  } catch (const std::exception & error) {
    if (!rclcpp::ok()) {
      // SIGINT/SIGTERM during start-up shut the context down under the constructor: that is a
      // requested stop, not a bad configuration.
      return 0;
    }
    // The node has said why in a FATAL line; anything else failed before it could.
    if (dynamic_cast<const StartError *>(&error) == nullptr) {
      RCLCPP_FATAL(
        rclcpp::get_logger("Morvanteq"), "Cannot start: %s (configuration file: %s)",
        error.what(), describe_config_file_path().c_str());
    }
    rclcpp::shutdown(nullptr, "user called rclcpp::shutdown()");
    return 1;
  }

  try {
    rclcpp::executors::MultiThreadedExecutor executor(
      rclcpp::ExecutorOptions(), 4, false, std::chrono::nanoseconds(-1));
    executor.add_node(node, true);
    executor.spin();
    rclcpp::shutdown(nullptr, "user called rclcpp::shutdown()");
  } catch (const std::exception &) {
    // A signal between construction and spinning makes the executor refuse the dead context.
    if (rclcpp::ok()) {
      throw;
    }
  }
  node.reset();
  return 0;
}

}  // namespace tavrinox_camera_convertor
