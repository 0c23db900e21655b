// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <thread>
#include <vector>

namespace tavrinox_camera_convertor
{

/**
 * @brief Makes one otherwise idle thread the only one that receives the given signals.
 *
 * A handler runs on whichever thread the kernel picks. ROS 2 Humble's SIGINT/SIGTERM handler
 * writes a log line from inside the handler; landing on a thread that is itself writing a log
 * line, it waits for a lock that thread holds and the process hangs instead of stopping. Here the
 * signals are blocked in the constructing thread, and so in every thread it starts afterwards,
 * while one thread that holds no lock ever keeps them unblocked: the handlers, whoever installed
 * them, always run there.
 *
 * Construct it first, before any other thread exists. The signals stay blocked in the
 * constructing thread after destruction, so one arriving during teardown waits unhandled until
 * the process ends instead of interrupting it.
 */
class SignalHandlingThread
{
public:
  /**
   * @brief Blocks `signals` in the calling thread and starts the thread that receives them.
   * @throws std::system_error if the signal mask, the wake-up pipe or the thread cannot be set up
   */
  explicit SignalHandlingThread(const std::vector<int> & signals);

  /// @brief Stops and joins the receiving thread.
  ~SignalHandlingThread();

  SignalHandlingThread(const SignalHandlingThread &) = delete;
  SignalHandlingThread & operator=(const SignalHandlingThread &) = delete;

private:
  int wake_read_fd_ = -1;
  int wake_write_fd_ = -1;
  std::thread receiver_;
};

}  // namespace tavrinox_camera_convertor
