// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "tavrinox_camera_convertor/process/signal_handling_thread.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using namespace std::chrono_literals;

pid_t current_thread_id() {return static_cast<pid_t>(syscall(SYS_gettid));}

// What the handlers saw; signal handlers can only reach the process's own state.
std::atomic<int> g_deliveries{0};
std::atomic<int> g_deliveries_on_watched_threads{0};
std::atomic<pid_t> g_watched_thread_1{0};
std::atomic<pid_t> g_watched_thread_2{0};
std::timed_mutex g_lock_of_a_logger;
std::atomic<bool> g_handler_got_the_lock{false};

void count_delivery([[maybe_unused]] int signal_number)
{
  const pid_t self = current_thread_id();
  if (self == g_watched_thread_1.load() || self == g_watched_thread_2.load()) {
    ++g_deliveries_on_watched_threads;
  }
  ++g_deliveries;
}

// Like a logging call from a handler: it needs a lock some other code may hold.
void take_the_logger_lock([[maybe_unused]] int signal_number)
{
  if (g_lock_of_a_logger.try_lock_for(3s)) {
    g_handler_got_the_lock = true;
    g_lock_of_a_logger.unlock();
  }
  ++g_deliveries;
}

bool wait_for_deliveries(int count)
{
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (g_deliveries.load() < count) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

/// Installs `handler` for SIGUSR1 and restores the thread's signal mask and the old handler.
class Sigusr1Scope
{
public:
  explicit Sigusr1Scope(void(*handler)(int))
  {
    pthread_sigmask(SIG_SETMASK, nullptr, &mask_);
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigaction(SIGUSR1, &action, &old_action_);
    g_deliveries = 0;
    g_deliveries_on_watched_threads = 0;
  }
  ~Sigusr1Scope()
  {
    // Drop a signal left pending by a test, then restore.
    sigset_t usr1;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    const timespec no_wait{0, 0};
    while (sigtimedwait(&usr1, nullptr, &no_wait) == SIGUSR1) {
    }
    sigaction(SIGUSR1, &old_action_, nullptr);
    pthread_sigmask(SIG_SETMASK, &mask_, nullptr);
  }

private:
  sigset_t mask_;
  struct sigaction old_action_ {};
};

bool blocked_in_this_thread(int signal_number)
{
  sigset_t mask;
  pthread_sigmask(SIG_SETMASK, nullptr, &mask);
  return sigismember(&mask, signal_number) == 1;
}

TEST(SignalHandlingThread, HandlersRunOnlyOnTheReceivingThreadAndNeverOnThreadsStartedLater)
{
  const Sigusr1Scope scope(&count_delivery);
  {
    const SignalHandlingThread signal_thread({SIGUSR1});
    EXPECT_TRUE(blocked_in_this_thread(SIGUSR1));

    std::atomic<bool> stop{false};
    std::atomic<bool> worker_blocks_it{false};
    std::thread worker([&]() {
        g_watched_thread_2 = current_thread_id();
        worker_blocks_it = blocked_in_this_thread(SIGUSR1);
        while (!stop.load()) {
        }
      });
    g_watched_thread_1 = current_thread_id();
    while (g_watched_thread_2.load() == 0) {
      std::this_thread::yield();
    }
    // Linux hands a process-directed signal to the sending thread first when it can take it.
    constexpr int kSignals = 50;
    for (int sent = 1; sent <= kSignals; ++sent) {
      kill(getpid(), SIGUSR1);
      ASSERT_TRUE(wait_for_deliveries(sent)) << "signal " << sent << " never handled";
    }
    stop = true;
    worker.join();
    EXPECT_TRUE(worker_blocks_it);
    EXPECT_EQ(g_deliveries_on_watched_threads.load(), 0);
    EXPECT_EQ(g_deliveries.load(), kSignals);
  }
  // After the receiver has gone, a late signal waits instead of interrupting teardown.
  EXPECT_TRUE(blocked_in_this_thread(SIGUSR1));
  kill(getpid(), SIGUSR1);
  sigset_t pending;
  sigpending(&pending);
  EXPECT_EQ(sigismember(&pending, SIGUSR1), 1);
  EXPECT_EQ(g_deliveries.load(), 50);
  g_watched_thread_1 = 0;
  g_watched_thread_2 = 0;
}

TEST(SignalHandlingThread, AHandlerNeedingALockThatTheBusyThreadHoldsWaitsInsteadOfDeadlocking)
{
  const Sigusr1Scope scope(&take_the_logger_lock);
  g_handler_got_the_lock = false;
  const SignalHandlingThread signal_thread({SIGUSR1});
  {
    // This thread is "writing a log line" when the signal comes.
    const std::lock_guard<std::timed_mutex> writing(g_lock_of_a_logger);
    kill(getpid(), SIGUSR1);
    std::this_thread::sleep_for(20ms);
  }
  ASSERT_TRUE(wait_for_deliveries(1));
  EXPECT_TRUE(g_handler_got_the_lock);
}

TEST(SignalHandlingThread, RefusesANumberThatIsNoSignal)
{
  const Sigusr1Scope scope(&count_delivery);
  EXPECT_THROW(SignalHandlingThread({SIGUSR1, 4096}), std::system_error);
  EXPECT_FALSE(blocked_in_this_thread(SIGUSR1));
}

}  // namespace
}  // namespace tavrinox_camera_convertor
