// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <type_traits>
#include <utility>

namespace tavrinox_camera_convertor
{

/**
 * @brief A second thread that runs one task beside its owner's, so that two independent halves
 *        of a frame take the time of the longer one.
 *
 * The thread starts with the first task and then waits for the next; handing it a task neither
 * allocates nor starts a thread. One owner at a time: run_together() must not be called from two
 * threads at once.
 */
class HelperThread
{
public:
  HelperThread() = default;
  ~HelperThread();

  HelperThread(const HelperThread &) = delete;
  HelperThread & operator=(const HelperThread &) = delete;

  /**
   * @brief Runs `beside` on the helper thread and `here` on the calling thread, and returns when
   *        both have ended.
   * @throws the exception that `here` threw, else the one that `beside` threw; either way only
   *         after both have ended, so that nothing they use is released under them
   */
  template<typename Here, typename Beside>
  void run_together(Here && here, Beside && beside)
  {
    start(&call<std::remove_reference_t<Beside>>, &beside);
    std::exception_ptr error;
    try {
      here();
    } catch (...) {
      error = std::current_exception();
    }
    const std::exception_ptr beside_error = wait();
    if (!error) {
      error = beside_error;
    }
    if (error) {
      std::rethrow_exception(error);
    }
  }

private:
  using Task = void (*)(void *);

  template<typename Callable>
  static void call(void * callable)
  {
    (*static_cast<Callable *>(callable))();
  }

  /// @brief Hands `task` to the thread, starting it the first time.
  void start(Task task, void * argument);

  /// @brief Waits for the task to end; what it threw, if anything.
  std::exception_ptr wait();

  void serve();

  std::mutex mutex_;
  std::condition_variable changed_;
  Task task_ = nullptr;
  void * argument_ = nullptr;
  bool busy_ = false;
  bool stopping_ = false;
  std::exception_ptr error_;
  std::thread thread_;  ///< last, so that it starts after and stops before the rest
};

}  // namespace tavrinox_camera_convertor
