// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The thread that compresses outputs for slow consumers: it never holds up whoever posts, keeps
// only the latest waiting job of each slot, and lets no slot starve another.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tavrinox_camera_convertor/concurrency/latest_job_runner.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

/// Holds the runner's thread inside a job until the test lets it go.
class Gate
{
public:
  void wait_open()
  {
    std::unique_lock<std::mutex> lock(mutex_);
    entered_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] {return open_;});
  }
  /// @brief Whether a job entered within 10 s: a runner that never starts it fails, not hangs.
  bool wait_entered()
  {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [this] {return entered_;});
  }
  void open()
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }

private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool entered_ = false;
  bool open_ = false;
};

/// What ran, in order, written from the runner's thread.
struct Ran
{
  std::mutex mutex;
  std::vector<std::string> names;
  std::function<void()> job(std::string name)
  {
    return [this, name = std::move(name)] {
             const std::lock_guard<std::mutex> lock(mutex);
             names.push_back(name);
           };
  }
};

TEST(LatestJobRunner, RunsEverySlotsJobInTheOrderPosted)
{
  Ran ran;
  LatestJobRunner runner(3, nullptr);
  for (int frame = 0; frame < 50; ++frame) {
    for (std::size_t slot : {2u, 0u, 1u}) {
      runner.post(slot, ran.job(std::to_string(frame) + ":" + std::to_string(slot)));
    }
    runner.wait_until_idle();
  }
  ASSERT_EQ(ran.names.size(), 150u);
  EXPECT_EQ(ran.names[0], "0:2");
  EXPECT_EQ(ran.names[1], "0:0");
  EXPECT_EQ(ran.names[149], "49:1");
  EXPECT_EQ(runner.replaced(), (std::vector<std::uint64_t>{0, 0, 0}));
}

TEST(LatestJobRunner, ASlowJobCostsItsSlotTheWaitingJobsAndNobodyElseAnything)
{
  Ran ran;
  Gate gate;
  LatestJobRunner runner(3, nullptr);
  runner.post(0, [&gate] {gate.wait_open();});
  ASSERT_TRUE(gate.wait_entered());
  // While slot 0's job is stuck, posting never waits for it.
  EXPECT_FALSE(runner.post(1, ran.job("1 old")));
  EXPECT_FALSE(runner.post(2, ran.job("2")));
  EXPECT_TRUE(runner.post(1, ran.job("1 newer")));
  EXPECT_TRUE(runner.post(1, ran.job("1 newest")));
  EXPECT_FALSE(runner.post(0, ran.job("0 next")));
  gate.open();
  runner.wait_until_idle();
  // Slot 1 keeps the turn of its first waiting job, ahead of slot 2's.
  EXPECT_EQ(ran.names, (std::vector<std::string>{"1 newest", "2", "0 next"}));
  EXPECT_EQ(runner.replaced(), (std::vector<std::uint64_t>{0, 2, 0}));
}

TEST(LatestJobRunner, TwoThreadsRunTwoSlotsAtOnceButNeverOneSlotTwice)
{
  Ran ran;
  Gate first;
  Gate second;
  LatestJobRunner runner(3, nullptr, 0, 2);
  runner.post(0, [&first] {first.wait_open();});
  ASSERT_TRUE(first.wait_entered());
  // Slot 0 is stuck: the second thread takes slot 1, then waits for it while slot 0 has more.
  runner.post(1, [&second] {second.wait_open();});
  if (!second.wait_entered()) {
    first.open();
    second.open();
    FAIL() << "slot 1 waited for slot 0's job: one thread only";
  }
  runner.post(0, ran.job("0 next"));
  runner.post(2, ran.job("2"));
  EXPECT_FALSE(runner.post(1, ran.job("1 older"))) << "slot 1's running job is no waiting one";
  EXPECT_TRUE(runner.post(1, ran.job("1 newest")));
  second.open();
  // The second thread is free again: it must pass over slot 0, whose job is still running.
  for (int waited = 0; waited < 500; ++waited) {
    {
      const std::lock_guard<std::mutex> lock(ran.mutex);
      if (ran.names.size() == 2) {
        break;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  {
    const std::lock_guard<std::mutex> lock(ran.mutex);
    EXPECT_EQ(ran.names, (std::vector<std::string>{"2", "1 newest"}));
  }
  first.open();
  runner.wait_until_idle();
  EXPECT_EQ(ran.names, (std::vector<std::string>{"2", "1 newest", "0 next"}));
}

TEST(LatestJobRunner, AJobThatThrowsIsReportedAndTheRunnerGoesOn)
{
  Ran ran;
  std::vector<std::pair<std::size_t, std::string>> errors;
  LatestJobRunner runner(
    2, [&errors](std::size_t slot, const std::string & what) {errors.emplace_back(slot, what);});
  runner.post(1, [] {throw std::runtime_error("png encoder: out of memory");});
  runner.wait_until_idle();
  runner.post(0, ran.job("after"));
  runner.wait_until_idle();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].first, 1u);
  EXPECT_EQ(errors[0].second, "png encoder: out of memory");
  EXPECT_EQ(ran.names, (std::vector<std::string>{"after"}));
  EXPECT_THROW(runner.post(2, ran.job("no such slot")), std::out_of_range);
}

TEST(LatestJobRunner, EndingWaitsForTheRunningJob)
{
  Gate gate;
  bool running_one_finished = false;
  std::thread opener;
  {
    LatestJobRunner runner(1, nullptr);
    runner.post(
      0, [&] {
        gate.wait_open();
        running_one_finished = true;
      });
    ASSERT_TRUE(gate.wait_entered());
    opener = std::thread([&gate] {gate.open();});
  }
  opener.join();
  EXPECT_TRUE(running_one_finished);
}

int own_nice()
{
  return getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
}

TEST(LatestJobRunner, ItsThreadYieldsTheProcessorToThePosters)
{
  const int poster = own_nice();
  for (const int increment : {0, 10, 40}) {
    int seen = -100;
    LatestJobRunner runner(1, nullptr, increment);
    runner.post(0, [&seen] {seen = own_nice();});
    runner.wait_until_idle();
    EXPECT_EQ(seen, std::min(19, poster + std::min(increment, 19))) << "increment " << increment;
  }
  EXPECT_EQ(own_nice(), poster) << "the poster's own priority must stay";
}

}  // namespace
}  // namespace tavrinox_camera_convertor
