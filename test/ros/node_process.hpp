// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The real node executable (or a component container) as a child process, with its own
// configuration found through the ament index, its own ROS domain, the middleware the test runs
// on over loopback only, and its output in a file.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char ** environ;

namespace tavrinox_camera_convertor::test
{

/**
 * @brief Sets the environment every node test runs in, before anything starts ROS: the
 * middleware CTest chose in RMW_IMPLEMENTATION (Cyclone DDS when none), loopback only, and each
 * middleware's own defaults whatever profile the user's shell names.
 */
inline void use_test_middleware()
{
  const char * const middleware = std::getenv("RMW_IMPLEMENTATION");
  setenv("RMW_IMPLEMENTATION", middleware != nullptr ? middleware : "rmw_cyclonedds_cpp", 1);
  std::printf("middleware: %s\n", std::getenv("RMW_IMPLEMENTATION"));
  setenv("ROS_LOCALHOST_ONLY", "1", 1);
  unsetenv("CYCLONEDDS_URI");
  unsetenv("FASTRTPS_DEFAULT_PROFILES_FILE");
}

/**
 * @brief A ROS domain of the test's own: one process per test (ctest), so the process id keeps
 * concurrent tests apart; `offset` gives a second domain in the same test.
 */
inline int unique_domain_id(int offset = 0)
{
  return 1 + static_cast<int>((getpid() + offset) % 200);
}

/**
 * @brief Puts `install_prefix` first in AMENT_PREFIX_PATH, for tests that load the package's
 * component or plugins from its install through the ament index.
 */
inline void find_package_install_first(const std::string & install_prefix)
{
  const char * const ament = std::getenv("AMENT_PREFIX_PATH");
  const std::string prefixes = install_prefix + (ament ? std::string(":") + ament : "");
  setenv("AMENT_PREFIX_PATH", prefixes.c_str(), 1);
}

/// A prefix that the ament index knows as this package's install: config file plus index marker,
/// and the install's libraries.
class TemporaryPackagePrefix
{
public:
  /// @param config the configuration text, or nothing to leave the file out
  explicit TemporaryPackagePrefix(const std::string * config)
  {
    char pattern[] = "/tmp/tavrinox_prefix_XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
      throw std::runtime_error("cannot create a temporary prefix");
    }
    root_ = pattern;
    const std::filesystem::path share = root_ / "share" / "tavrinox_camera_convertor" / "config";
    std::filesystem::create_directories(share);
    const std::filesystem::path index = root_ / "share" / "ament_index" / "resource_index" /
      "packages";
    std::filesystem::create_directories(index);
    std::ofstream(index / "tavrinox_camera_convertor").flush();
    if (config != nullptr) {
      std::ofstream(share / "camera_config.yaml") << *config;
    }
    // pluginlib looks for the package's plugin libraries under the prefix that the index names
    // first for the package: this one.
    std::filesystem::create_directory_symlink(
      std::filesystem::path(TAVRINOX_INSTALL_PREFIX) / "lib", root_ / "lib");
  }
  ~TemporaryPackagePrefix() {std::filesystem::remove_all(root_);}
  TemporaryPackagePrefix(const TemporaryPackagePrefix &) = delete;
  TemporaryPackagePrefix & operator=(const TemporaryPackagePrefix &) = delete;

  std::string path() const {return root_.string();}
  std::string config_path() const
  {
    return (root_ / "share" / "tavrinox_camera_convertor" / "config" /
           "camera_config.yaml").string();
  }

private:
  std::filesystem::path root_;
};

/// The node, started with `prefix` first on AMENT_PREFIX_PATH, in ROS domain `domain_id`.
class NodeProcess
{
public:
  /**
   * @param arguments the program's arguments after its name
   * @param extra_environment variables to set for it, on top of the test's own
   */
  NodeProcess(
    const std::string & executable, const TemporaryPackagePrefix & prefix, int domain_id,
    const std::vector<std::string> & arguments = {},
    const std::map<std::string, std::string> & extra_environment = {})
  : log_path_(unique_log_path(prefix))
  {
    std::map<std::string, std::string> environment;
    for (char ** entry = environ; *entry != nullptr; ++entry) {
      const std::string text = *entry;
      const auto equals = text.find('=');
      environment[text.substr(0, equals)] = equals == std::string::npos ? "" : text.substr(
        equals + 1);
    }
    const std::string ament =
      environment.count("AMENT_PREFIX_PATH") ? environment["AMENT_PREFIX_PATH"] : "";
    environment["AMENT_PREFIX_PATH"] = prefix.path() + (ament.empty() ? "" : ":" + ament);
    environment["ROS_DOMAIN_ID"] = std::to_string(domain_id);
    environment["ROS_LOCALHOST_ONLY"] = "1";
    // The middleware's defaults unless a test asks for a profile.
    environment.erase("CYCLONEDDS_URI");
    environment.erase("FASTRTPS_DEFAULT_PROFILES_FILE");
    const char * const middleware = std::getenv("RMW_IMPLEMENTATION");
    environment["RMW_IMPLEMENTATION"] = middleware != nullptr ? middleware : "rmw_cyclonedds_cpp";
    environment["RCUTILS_LOGGING_BUFFERED_STREAM"] = "0";
    for (const auto & [key, value] : extra_environment) {
      environment[key] = value;
    }
    std::vector<std::string> flat;
    for (const auto & [key, value] : environment) {
      flat.push_back(key + "=" + value);
    }
    std::vector<char *> envp;
    for (auto & text : flat) {
      envp.push_back(text.data());
    }
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(
      &actions, STDOUT_FILENO,
      log_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    std::vector<std::string> words = {executable};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (auto & word : words) {
      argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    const int failed =
      posix_spawnp(&pid_, executable.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
      throw std::runtime_error("cannot start " + executable);
    }
  }

  ~NodeProcess()
  {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      int status = 0;
      waitpid(pid_, &status, 0);
    }
  }
  NodeProcess(const NodeProcess &) = delete;
  NodeProcess & operator=(const NodeProcess &) = delete;

  /// @brief Everything the node printed so far.
  std::string output() const
  {
    std::ifstream in(log_path_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  /// @brief Waits until the output contains `text`; false on timeout or exit.
  bool wait_for_output(
    const std::string & text, std::chrono::seconds timeout,
    std::chrono::milliseconds poll = std::chrono::milliseconds(20)) const
  {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      if (output().find(text) != std::string::npos) {
        return true;
      }
      std::this_thread::sleep_for(poll);
    }
    return false;
  }

  void signal(int number) const {kill(pid_, number);}

  pid_t pid() const {return pid_;}

  /// @brief Still running?
  bool running()
  {
    if (exited_) {
      return false;
    }
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      exited_ = true;
      status_ = status;
    }
    return !exited_;
  }

  /// @brief The exit status once the process ended, or -1 after `timeout`; a signal death gives 128
  /// + signal.
  int wait_for_exit(std::chrono::seconds timeout)
  {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (running()) {
      if (std::chrono::steady_clock::now() >= deadline) {
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
  }

private:
  /// Several processes of one test may share its prefix, each with a log of its own.
  static std::string unique_log_path(const TemporaryPackagePrefix & prefix)
  {
    std::string pattern = prefix.path() + "/node_XXXXXX.log";
    const int descriptor = mkstemps(pattern.data(), 4);
    if (descriptor < 0) {
      throw std::runtime_error("cannot create a log file in " + prefix.path());
    }
    close(descriptor);
    return pattern;
  }

  std::string log_path_;
  pid_t pid_ = -1;
  bool exited_ = false;
  int status_ = 0;
};

}  // namespace tavrinox_camera_convertor::test
