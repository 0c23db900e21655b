// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/process/signal_handling_thread.hpp"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

namespace tavrinox_camera_convertor
{
namespace
{

sigset_t signal_set(const std::vector<int> & signals)
{
  sigset_t set;
  sigemptyset(&set);
  for (const int signal_number : signals) {
    if (sigaddset(&set, signal_number) != 0) {
      throw std::system_error(
              errno, std::generic_category(),
              "signal " + std::to_string(signal_number));
    }
  }
  return set;
}

void change_mask(int how, const sigset_t & set)
{
  const int failed = pthread_sigmask(how, &set, nullptr);
  if (failed != 0) {
    throw std::system_error(failed, std::generic_category(), "pthread_sigmask");
  }
}

/// Sleeps in the kernel, holding no lock, until a byte arrives; handlers interrupt the read.
void wait_for_wake_up(int read_fd)
{
  char byte = 0;
  while (read(read_fd, &byte, 1) < 0 && errno == EINTR) {
  }
}

}  // namespace

SignalHandlingThread::SignalHandlingThread(const std::vector<int> & signals)
{
  const sigset_t set = signal_set(signals);
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    throw std::system_error(errno, std::generic_category(), "pipe2");
  }
  wake_read_fd_ = fds[0];
  wake_write_fd_ = fds[1];
  try {
    change_mask(SIG_BLOCK, set);
    // The new thread inherits the blocked mask and opens it only for itself.
    receiver_ = std::thread(
      [set, read_fd = wake_read_fd_]() {
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
        wait_for_wake_up(read_fd);
        pthread_sigmask(SIG_BLOCK, &set, nullptr);
      });
  } catch (...) {
    close(wake_read_fd_);
    close(wake_write_fd_);
    throw;
  }
}

SignalHandlingThread::~SignalHandlingThread()
{
  const char byte = 0;
  while (write(wake_write_fd_, &byte, 1) < 0 && errno == EINTR) {
  }
  receiver_.join();
  close(wake_read_fd_);
  close(wake_write_fd_);
}

}  // namespace tavrinox_camera_convertor
