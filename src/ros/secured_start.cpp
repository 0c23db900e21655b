// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/ros/secured_start.hpp"

#include <rcl/context.h>
#include <rcl/init_options.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <ament_index_cpp/get_package_share_directory.hpp>

namespace tavrinox_camera_convertor
{
namespace
{

std::string environment(const char * name)
{
  const char * const value = std::getenv(name);
  return value != nullptr ? value : "";
}

SecuritySetting setting_with_enclave(const std::string & enclave)
{
  SecuritySetting setting;
  setting.enabled = security_enabled();
  setting.keystore = environment("ROS_SECURITY_KEYSTORE");
  // rcl looks the override up instead of the enclave it was given.
  const std::string override_enclave = environment("ROS_SECURITY_ENCLAVE_OVERRIDE");
  setting.enclave = !override_enclave.empty() ? override_enclave :
    (enclave.empty() ? "/" : enclave);
  return setting;
}

/// Where rcl looks for the enclave's files: <keystore>/enclaves/<enclave without its slash>.
std::string enclave_directory(const SecuritySetting & setting)
{
  const std::filesystem::path enclaves = std::filesystem::path(setting.keystore) / "enclaves";
  return (setting.enclave == "/" ? enclaves : enclaves / setting.enclave.substr(1)).string();
}

std::string policy_path()
{
  try {
    return ament_index_cpp::get_package_share_directory("tavrinox_camera_convertor") +
           "/policies/camera_convertor.policy.xml";
  } catch (const std::exception &) {
    return "share/tavrinox_camera_convertor/policies/camera_convertor.policy.xml";
  }
}

std::string domain_id()
{
  const std::string domain = environment("ROS_DOMAIN_ID");
  return domain.empty() ? "0" : domain;
}

/// The first of the enclave's files that cannot be read or is no PEM file where one belongs,
/// with why; empty when all can be read.
std::string unreadable_file(const std::string & directory)
{
  for (const char * name : {"identity_ca.cert.pem", "cert.pem", "key.pem", "governance.p7s",
      "permissions_ca.cert.pem", "permissions.p7s"})
  {
    const std::string path = directory + "/" + name;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
      return path + " cannot be read (" + std::strerror(errno) + ")";
    }
    const std::string text(
      (std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".pem") == 0 &&
      text.find("-----BEGIN") == std::string::npos)
    {
      return path + " is not a PEM file";
    }
  }
  return {};
}

std::string refused_list(const std::vector<RefusedEntity> & refused)
{
  std::string text;
  std::string verb;
  for (const RefusedEntity & entity : refused) {
    if (entity.verb != verb) {
      text += (text.empty() ? "" : "; ") + entity.verb + " ";
      verb = entity.verb;
    } else {
      text += ", ";
    }
    text += entity.name;
  }
  return text;
}

}  // namespace

bool security_enabled()
{
  return environment("ROS_SECURITY_ENABLE") == "true";
}

SecuritySetting security_setting(int argc, const char * const * argv)
{
  std::string enclave;
  bool ros_arguments = false;
  for (int k = 1; k < argc; ++k) {
    const std::string word = argv[k];
    if (word == "--ros-args" || word == "--") {
      ros_arguments = word == "--ros-args";
    } else if (ros_arguments && (word == "--enclave" || word == "-e") && k + 1 < argc) {
      enclave = argv[++k];
    }
  }
  return setting_with_enclave(enclave);
}

SecuritySetting security_setting(rclcpp::Context & context)
{
  std::string enclave;
  const rcl_init_options_t * const options = rcl_context_get_init_options(
    context.get_rcl_context().get());
  if (options != nullptr) {
    const rmw_init_options_t * const rmw_options =
      rcl_init_options_get_rmw_init_options(const_cast<rcl_init_options_t *>(options));
    if (rmw_options != nullptr && rmw_options->enclave != nullptr) {
      enclave = rmw_options->enclave;
    }
  }
  return setting_with_enclave(enclave);
}

std::string secured_start_failure(
  const SecuritySetting & setting, const std::vector<RefusedEntity> & refused,
  const std::string & detail)
{
  const std::string what = "Cannot start secured: enclave " + setting.enclave + " in keystore " +
    (setting.keystore.empty() ? std::string("(none)") : setting.keystore) + ": ";
  const std::string rcl = detail.empty() ? "" : " (rcl: " + detail + ")";
  const std::string remake = "ros2 security create_enclave " + setting.keystore + " " +
    setting.enclave + "' and 'ros2 security create_permission " + setting.keystore + " " +
    setting.enclave + " " + policy_path() + "' with ROS_DOMAIN_ID=" + domain_id();
  if (setting.keystore.empty()) {
    return what + "ROS_SECURITY_KEYSTORE is not set: set it to the keystore's directory, or "
           "unset ROS_SECURITY_ENABLE" + rcl;
  }
  const std::string directory = enclave_directory(setting);
  if (!std::filesystem::is_directory(directory)) {
    return what + "no directory " + directory + ": make the enclave with '" + remake +
           ", or name the enclave you made (--enclave, launch argument enclave)" + rcl;
  }
  if (!refused.empty()) {
    return what + "its permissions do not let the node " + refused_list(refused) +
           ": make them from the node's policy with 'ros2 security create_permission " +
           setting.keystore + " " + setting.enclave + " " + policy_path() + "' (other topic "
           "names: write the policy first with 'ros2 run tavrinox_camera_convertor make_policy.py "
           "--config <your file> --out <policy>')" + rcl;
  }
  const std::string unreadable = unreadable_file(directory);
  if (!unreadable.empty()) {
    return what + unreadable + ": make the enclave again with '" + remake + rcl;
  }
  return what + "the middleware refused the files in " + directory + " (they must be signed "
         "by this keystore, be valid today and be made for this ROS_DOMAIN_ID): make the enclave "
         "again with '" + remake + rcl;
}

}  // namespace tavrinox_camera_convertor
