// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The threads that compress outputs for consumers elsewhere: they never hold up whoever posts,
// run frames one after another, each whole, and skip a frame whole when a newer one comes first.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tavrinox_camera_convertor/concurrency/latest_frame_runner.hpp"

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

TEST(LatestFrameRunner, RunsEveryFramesJobsInTheOrderPosted)
{
  Ran ran;
  LatestFrameRunner runner(3, nullptr);
  for (int frame = 0; frame < 50; ++frame) {
    runner.begin_frame();
    for (std::size_t slot : {2u, 0u, 1u}) {
      runner.post(slot, ran.job(std::to_string(frame) + ":" + std::to_string(slot)));
    }
    runner.wait_until_idle();
  }
  ASSERT_EQ(ran.names.size(), 150u);
  EXPECT_EQ(ran.names[0], "0:2");
  EXPECT_EQ(ran.names[1], "0:0");
  EXPECT_EQ(ran.names[149], "49:1");
  EXPECT_EQ(runner.skipped(), (std::vector<std::uint64_t>{0, 0, 0}));
}

TEST(LatestFrameRunner, AFrameThatCannotStartBeforeTheNextComesIsSkippedWhole)
{
  Ran ran;
  Gate gate;
  LatestFrameRunner runner(3, nullptr, 0, 2);
  runner.begin_frame();
  runner.post(0, [&gate] {gate.wait_open();});
  ASSERT_TRUE(gate.wait_entered());
  // Frame 1 is stuck in slot 0: frame 2 waits whole, then frame 3 takes its place whole; a
  // second thread idle meanwhile must not start frame 2's jobs ahead of their frame.
  for (const char * frame : {"2", "3"}) {
    runner.begin_frame();
    for (std::size_t slot : {0u, 1u, 2u}) {
      runner.post(slot, ran.job(std::string(frame) + ":" + std::to_string(slot)));
    }
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  {
    const std::lock_guard<std::mutex> lock(ran.mutex);
    EXPECT_TRUE(ran.names.empty()) << "a job of a waiting frame ran before its frame";
  }
  gate.open();
  runner.wait_until_idle();
  std::sort(ran.names.begin(), ran.names.end());
  EXPECT_EQ(ran.names, (std::vector<std::string>{"3:0", "3:1", "3:2"}));
  EXPECT_EQ(runner.skipped(), (std::vector<std::uint64_t>{1, 1, 1}));
  EXPECT_EQ(runner.frames_skipped(), 1u);
}

TEST(LatestFrameRunner, UnderASlowEncoderEveryFrameGoesWholeOrNotAtAll)
{
  // Five outputs a frame at a camera's pace, each taking up to two frames' time at random.
  std::mutex mutex;
  std::map<int, std::set<std::size_t>> ran;
  {
    LatestFrameRunner runner(5, nullptr, 0, 2);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> cost_us(0, 4000);
    for (int frame = 0; frame < 300; ++frame) {
      runner.begin_frame();
      for (std::size_t slot = 0; slot < 5; ++slot) {
        const auto cost = std::chrono::microseconds(cost_us(random));
        runner.post(
          slot, [&mutex, &ran, frame, slot, cost] {
            std::this_thread::sleep_for(cost);
            const std::lock_guard<std::mutex> lock(mutex);
            ran[frame].insert(slot);
          });
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    }
    runner.wait_until_idle();
    EXPECT_GT(runner.frames_skipped(), 10u) << "the encoder was not slow enough to test anything";
    EXPECT_EQ(ran.size() + runner.frames_skipped(), 300u);
  }
  for (const auto & [frame, slots] : ran) {
    EXPECT_EQ(slots.size(), 5u) << "frame " << frame << " went out in part";
  }
}

TEST(LatestFrameRunner, TwoThreadsRunTwoJobsOfAFrameAtOnce)
{
  Gate first;
  Gate second;
  LatestFrameRunner runner(2, nullptr, 0, 2);
  runner.begin_frame();
  runner.post(0, [&first] {first.wait_open();});
  runner.post(1, [&second] {second.wait_open();});
  const bool both = first.wait_entered() && second.wait_entered();
  first.open();
  second.open();
  EXPECT_TRUE(both) << "the frame's second job waited for its first: one thread only";
  runner.wait_until_idle();
}

TEST(LatestFrameRunner, AJobThatThrowsIsReportedAndTheRunnerGoesOn)
{
  Ran ran;
  std::vector<std::pair<std::size_t, std::string>> errors;
  LatestFrameRunner runner(
    2, [&errors](std::size_t slot, const std::string & what) {errors.emplace_back(slot, what);});
  runner.begin_frame();
  runner.post(1, [] {throw std::runtime_error("png encoder: out of memory");});
  runner.wait_until_idle();
  runner.begin_frame();
  runner.post(0, ran.job("after"));
  runner.wait_until_idle();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].first, 1u);
  EXPECT_EQ(errors[0].second, "png encoder: out of memory");
  EXPECT_EQ(ran.names, (std::vector<std::string>{"after"}));
  EXPECT_THROW(runner.post(2, ran.job("no such slot")), std::out_of_range);
}

TEST(LatestFrameRunner, EndingWaitsForTheRunningJob)
{
  Gate gate;
  bool running_one_finished = false;
  std::thread opener;
  {
    LatestFrameRunner runner(1, nullptr);
    runner.begin_frame();
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

TEST(LatestFrameRunner, ItsThreadYieldsTheProcessorToThePosters)
{
  const int poster = own_nice();
  for (const int increment : {0, 10, 40}) {
    int seen = -100;
    LatestFrameRunner runner(1, nullptr, increment);
    runner.begin_frame();
    runner.post(0, [&seen] {seen = own_nice();});
    runner.wait_until_idle();
    EXPECT_EQ(seen, std::min(19, poster + std::min(increment, 19))) << "increment " << increment;
  }
  EXPECT_EQ(own_nice(), poster) << "the poster's own priority must stay";
}

}  // namespace
}  // namespace tavrinox_camera_convertor
