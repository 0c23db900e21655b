// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/concurrency/latest_frame_runner.hpp"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <stdexcept>

namespace tavrinox_camera_convertor
{

LatestFrameRunner::LatestFrameRunner(
  std::size_t slots, ErrorHandler on_error, int nice_increment, std::size_t threads)
: on_error_(std::move(on_error)), nice_increment_(std::clamp(nice_increment, 0, 19)),
  thread_count_(std::max<std::size_t>(threads, 1)), skipped_(slots, 0)
{
}

LatestFrameRunner::~LatestFrameRunner()
{
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (std::thread & thread : threads_) {
    thread.join();
  }
}

void LatestFrameRunner::begin_frame()
{
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    ++posting_;
    if (waiting_) {
      // Not one of its jobs has started: it goes whole, so no consumer gets half of it.
      for (const auto & [slot, job] : waiting_->jobs) {
        ++skipped_[slot];
      }
      frames_skipped_ += waiting_->jobs.empty() ? 0 : 1;
      waiting_.reset();
    }
    waiting_ = Frame{posting_, {}, 0};
    start_waiting_frame();
  }
  changed_.notify_all();
}

void LatestFrameRunner::post(std::size_t slot, std::function<void()> job)
{
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (slot >= skipped_.size()) {
      throw std::out_of_range("LatestFrameRunner: no slot " + std::to_string(slot));
    }
    if (running_ && running_->number == posting_) {
      running_->jobs.emplace_back(slot, std::move(job));
    } else {
      if (!waiting_) {
        waiting_ = Frame{posting_, {}, 0};
      }
      waiting_->jobs.emplace_back(slot, std::move(job));
      start_waiting_frame();
    }
    while (threads_.size() < thread_count_) {
      threads_.emplace_back([this] {serve();});
    }
  }
  changed_.notify_all();
}

void LatestFrameRunner::start_waiting_frame()
{
  // The running frame is done once it can get no more jobs (a newer frame began) and has none
  // left, waiting or running.
  const bool running_done = !running_ ||
    (running_->number < posting_ && running_->jobs.empty() && running_->running == 0);
  if (running_done && waiting_ && (!waiting_->jobs.empty() || waiting_->number == posting_)) {
    running_ = std::move(waiting_);
    waiting_.reset();
  }
}

std::vector<std::uint64_t> LatestFrameRunner::skipped() const
{
  const std::lock_guard<std::mutex> lock(mutex_);
  return skipped_;
}

std::uint64_t LatestFrameRunner::frames_skipped() const
{
  const std::lock_guard<std::mutex> lock(mutex_);
  return frames_skipped_;
}

void LatestFrameRunner::wait_until_idle()
{
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(
    lock, [this] {
      const bool running_idle = !running_ || (running_->jobs.empty() && running_->running == 0);
      return running_idle && (!waiting_ || waiting_->jobs.empty());
    });
}

void LatestFrameRunner::serve()
{
  if (nice_increment_ > 0) {
    // Linux gives each thread a nice value of its own; one the kernel refuses leaves it equal.
    const auto thread = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, thread);
    if (errno == 0) {
      setpriority(PRIO_PROCESS, thread, std::min(19, current + nice_increment_));
    }
  }
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    if (stopping_) {
      return;
    }
    if (!running_ || running_->jobs.empty()) {
      changed_.wait(lock);
      continue;
    }
    auto [slot, job] = std::move(running_->jobs.front());
    running_->jobs.pop_front();
    ++running_->running;
    Frame * const frame = &*running_;
    lock.unlock();
    std::string error;
    bool failed = false;
    try {
      job();
    } catch (const std::exception & thrown) {
      failed = true;
      error = thrown.what();
    } catch (...) {
      failed = true;
      error = "unknown exception";
    }
    // Whatever the job held is released before the next one starts.
    job = nullptr;
    if (failed && on_error_) {
      on_error_(slot, error);
    }
    lock.lock();
    --frame->running;
    start_waiting_frame();
    changed_.notify_all();
  }
}

}  // namespace tavrinox_camera_convertor
