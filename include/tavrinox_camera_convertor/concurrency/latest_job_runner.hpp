// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tavrinox_camera_convertor
{

/**
 * @brief Threads of its own for work that must never hold up whoever hands it over, such as
 *        compressing a frame's outputs for slow consumers: each slot keeps only its latest job
 *        that has not started, so a job that takes longer than a frame costs its slot the
 *        frames in between, and costs the poster and the other slots nothing.
 *
 * Slots take turns in the order their jobs were posted; with several threads, several slots
 * run at once, but one slot's jobs never do, so a slot's jobs may share state unguarded. Any
 * thread may post.
 */
class LatestJobRunner
{
public:
  /// What a job threw, with the slot it was posted to.
  using ErrorHandler = std::function<void (std::size_t slot, const std::string & what)>;

  /**
   * @brief A runner with `slots` slots; its thread starts with the first job.
   * @param on_error called on the runner's thread when a job throws; the runner goes on
   * @param nice_increment how much lower its thread's priority is than the poster's, in nice
   *        steps (0 to 19): with the processor busy, a higher one gets it first, so work handed
   *        to the runner takes only what the poster's own work leaves
   * @param threads how many jobs of different slots may run at once (at least 1)
   */
  LatestJobRunner(
    std::size_t slots, ErrorHandler on_error, int nice_increment = 0, std::size_t threads = 1);

  /// @brief Drops the jobs that have not started and waits for the running ones.
  ~LatestJobRunner();

  LatestJobRunner(const LatestJobRunner &) = delete;
  LatestJobRunner & operator=(const LatestJobRunner &) = delete;

  /**
   * @brief Hands `job` to `slot`, replacing that slot's job if it has not started yet.
   * @return whether a waiting job was replaced (and so never runs)
   * @throws std::out_of_range for a slot the runner does not have
   */
  bool post(std::size_t slot, std::function<void()> job);

  /// @brief Jobs replaced before they started, per slot, since the runner was made.
  std::vector<std::uint64_t> replaced() const;

  /// @brief Waits until no job is waiting or running.
  void wait_until_idle();

private:
  void serve();

  struct Slot
  {
    std::function<void()> job;
    std::uint64_t posted_order = 0;
    std::uint64_t replaced = 0;
    bool running = false;  ///< a job of this slot is on a thread
  };

  ErrorHandler on_error_;
  int nice_increment_ = 0;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Slot> slots_;
  std::uint64_t next_order_ = 0;
  std::size_t running_jobs_ = 0;
  bool stopping_ = false;
  std::size_t thread_count_ = 1;
  std::vector<std::thread> threads_;  ///< last, so that they start after and stop before the rest
};

}  // namespace tavrinox_camera_convertor
