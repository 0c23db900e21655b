// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tavrinox_camera_convertor
{

/**
 * @brief Threads of their own for a frame's work that must never hold up whoever hands it
 *        over, such as compressing a frame's outputs for consumers elsewhere: frames run one
 *        after another, each whole, and a frame that has not started when a newer one comes is
 *        skipped whole.
 *
 * A consumer of several outputs then gets every output of a frame or none, never one output of
 * a frame and another of the next. The jobs of the frame that runs are taken in the order
 * posted, by as many threads as there are, so several outputs of a frame are compressed at
 * once. Jobs are counted per slot (an output). Any thread may post.
 */
class LatestFrameRunner
{
public:
  /// What a job threw, with its slot.
  using ErrorHandler = std::function<void (std::size_t slot, const std::string & what)>;

  /**
   * @param slots how many slots jobs are counted in
   * @param on_error called on the runner's thread when a job throws; the runner goes on
   * @param nice_increment how much lower its threads' priority is than the poster's, in nice
   *        steps (0 to 19): with the processor busy, a higher one gets it first, so work handed
   *        to the runner takes only what the poster's own work leaves
   * @param threads how many jobs of a frame may run at once (at least 1)
   */
  LatestFrameRunner(
    std::size_t slots, ErrorHandler on_error, int nice_increment = 0, std::size_t threads = 1);

  /// @brief Drops the frames that have not started and waits for the running jobs.
  ~LatestFrameRunner();

  LatestFrameRunner(const LatestFrameRunner &) = delete;
  LatestFrameRunner & operator=(const LatestFrameRunner &) = delete;

  /**
   * @brief Jobs posted from now on belong to a new frame. The previous frame, if none of its
   *        jobs has started yet, is skipped: none of them ever runs.
   */
  void begin_frame();

  /**
   * @brief Adds `job` of `slot` to the current frame.
   * @throws std::out_of_range for a slot the runner does not have
   */
  void post(std::size_t slot, std::function<void()> job);

  /// @brief Jobs skipped with their frame, per slot, since the runner was made.
  std::vector<std::uint64_t> skipped() const;

  /// @brief Frames skipped whole since the runner was made.
  std::uint64_t frames_skipped() const;

  /// @brief Waits until no job is waiting or running.
  void wait_until_idle();

private:
  struct Frame
  {
    std::uint64_t number = 0;
    std::deque<std::pair<std::size_t, std::function<void()>>> jobs;
    std::size_t running = 0;  ///< its jobs on a thread now
  };

  void serve();
  /// @brief Lets the waiting frame run once the running one can get no more jobs and is done.
  void start_waiting_frame();

  ErrorHandler on_error_;
  int nice_increment_ = 0;
  std::size_t thread_count_ = 1;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t posting_ = 0;      ///< the frame jobs are posted to
  std::optional<Frame> running_;   ///< the frame whose jobs the threads take
  std::optional<Frame> waiting_;   ///< the next frame, collecting jobs until it may run
  std::vector<std::uint64_t> skipped_;
  std::uint64_t frames_skipped_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace tavrinox_camera_convertor
