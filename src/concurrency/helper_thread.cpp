// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/concurrency/helper_thread.hpp"

namespace tavrinox_camera_convertor
{

HelperThread::~HelperThread()
{
  if (!thread_.joinable()) {
    return;
  }
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void HelperThread::start(Task task, void * argument)
{
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    task_ = task;
    argument_ = argument;
    error_ = nullptr;
    busy_ = true;
  }
  if (!thread_.joinable()) {
    thread_ = std::thread([this] {serve();});
  } else {
    changed_.notify_all();
  }
}

std::exception_ptr HelperThread::wait()
{
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] {return !busy_;});
  return error_;
}

void HelperThread::serve()
{
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    changed_.wait(lock, [this] {return busy_ || stopping_;});
    if (!busy_) {
      return;
    }
    const Task task = task_;
    void * const argument = argument_;
    lock.unlock();
    std::exception_ptr error;
    try {
      task(argument);
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    error_ = error;
    busy_ = false;
    changed_.notify_all();
  }
}

}  // namespace tavrinox_camera_convertor
