// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/concurrency/latest_job_runner.hpp"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <stdexcept>
#include <utility>

namespace tavrinox_camera_convertor
{

LatestJobRunner::LatestJobRunner(
  std::size_t slots, ErrorHandler on_error, int nice_increment, std::size_t threads)
: on_error_(std::move(on_error)), nice_increment_(std::clamp(nice_increment, 0, 19)),
  slots_(slots), thread_count_(std::max<std::size_t>(threads, 1))
{
}

LatestJobRunner::~LatestJobRunner()
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

bool LatestJobRunner::post(std::size_t slot, std::function<void()> job)
{
  bool replaced = false;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    Slot & target = slots_.at(slot);
    replaced = static_cast<bool>(target.job);
    target.replaced += replaced ? 1 : 0;
    target.job = std::move(job);
    // A replacing job keeps its slot's turn: a busy slot must not be overtaken forever.
    if (!replaced) {
      target.posted_order = next_order_++;
    }
    while (threads_.size() < thread_count_) {
      threads_.emplace_back([this] {serve();});
    }
  }
  changed_.notify_all();
  return replaced;
}

std::vector<std::uint64_t> LatestJobRunner::replaced() const
{
  const std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::uint64_t> counts;
  counts.reserve(slots_.size());
  for (const Slot & slot : slots_) {
    counts.push_back(slot.replaced);
  }
  return counts;
}

void LatestJobRunner::wait_until_idle()
{
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(
    lock, [this] {
      if (running_jobs_ > 0) {
        return false;
      }
      for (const Slot & slot : slots_) {
        if (slot.job) {
          return false;
        }
      }
      return true;
    });
}

void LatestJobRunner::serve()
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
    // The waiting job that was posted first, of a slot no other thread is running.
    Slot * next = nullptr;
    std::size_t next_slot = 0;
    for (std::size_t k = 0; k < slots_.size(); ++k) {
      if (slots_[k].job && !slots_[k].running &&
        (next == nullptr || slots_[k].posted_order < next->posted_order))
      {
        next = &slots_[k];
        next_slot = k;
      }
    }
    if (stopping_) {
      return;
    }
    if (next == nullptr) {
      changed_.wait(lock);
      continue;
    }
    std::function<void()> job = std::move(next->job);
    next->job = nullptr;
    next->running = true;
    ++running_jobs_;
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
      on_error_(next_slot, error);
    }
    lock.lock();
    next->running = false;
    --running_jobs_;
    changed_.notify_all();
  }
}

}  // namespace tavrinox_camera_convertor
