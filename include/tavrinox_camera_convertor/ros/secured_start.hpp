// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// What a node started under SROS2 says when rcl or the middleware refuses its start: the enclave,
// the keystore, what was refused or which file failed, and what to do.
#pragma once

#include <string>
#include <vector>

#include <rclcpp/context.hpp>

namespace tavrinox_camera_convertor
{

/// Where rcl looks for the process's security files.
struct SecuritySetting
{
  bool enabled = false;   ///< ROS_SECURITY_ENABLE=true
  std::string keystore;   ///< ROS_SECURITY_KEYSTORE; empty when unset
  std::string enclave = "/";
};

/// @brief Before rclcpp::init: the environment, and the enclave as rcl takes it, from
///        ROS_SECURITY_ENCLAVE_OVERRIDE or else the arguments' --enclave (-e).
SecuritySetting security_setting(int argc, const char * const * argv);

/// @brief After: the environment and the enclave `context` was started with.
SecuritySetting security_setting(rclcpp::Context & context);

/// @brief Whether ROS_SECURITY_ENABLE asks for security.
bool security_enabled();

/// A publisher, subscription, service or client whose creation the middleware refused.
struct RefusedEntity
{
  std::string verb;   ///< "publish", "subscribe to", "serve" or "call"
  std::string name;   ///< the topic or service, resolved as rcl named it
};

/// @brief The FATAL text of a secured process that cannot start. `refused` names what the
///        permissions left out; without, the enclave's directory and files are checked to say
///        which is missing or unreadable. `detail` is what rcl reported.
std::string secured_start_failure(
  const SecuritySetting & setting, const std::vector<RefusedEntity> & refused,
  const std::string & detail);

}  // namespace tavrinox_camera_convertor
