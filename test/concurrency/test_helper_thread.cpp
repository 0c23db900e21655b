// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The second thread a frame's halves run on: both halves run, at the same time, every time,
// and a failure on either side reaches the caller only after both have ended.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

#include "tavrinox_camera_convertor/concurrency/helper_thread.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

/// @brief Waits until `flag` is set or ten seconds have passed; whether it was set.
bool wait_for(const std::atomic<bool> & flag)
{
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!flag.load() && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::yield();
  }
  return flag.load();
}

TEST(HelperThread, BothHalvesRunAtTheSameTimeOnTwoThreadsRoundAfterRound)
{
  HelperThread helper;
  std::thread::id first_helper_id;
  for (int round = 0; round < 200; ++round) {
    std::atomic<bool> here_started{false};
    std::atomic<bool> beside_started{false};
    bool here_saw_beside = false;
    bool beside_saw_here = false;
    std::thread::id beside_id;
    helper.run_together(
      [&] {
        here_started = true;
        here_saw_beside = wait_for(beside_started);
      },
      [&] {
        beside_started = true;
        beside_saw_here = wait_for(here_started);
        beside_id = std::this_thread::get_id();
      });
    ASSERT_TRUE(here_saw_beside) << "round " << round;
    ASSERT_TRUE(beside_saw_here) << "round " << round;
    ASSERT_NE(beside_id, std::this_thread::get_id());
    if (round == 0) {
      first_helper_id = beside_id;
    }
    // One thread serves every round: no thread is started per frame.
    ASSERT_EQ(beside_id, first_helper_id) << "round " << round;
  }
}

TEST(HelperThread, AFailureOnEitherSideIsThrownAfterBothHaveEnded)
{
  HelperThread helper;
  std::atomic<bool> beside_ended{false};
  try {
    helper.run_together(
      [] {throw std::runtime_error("here");},
      [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        beside_ended = true;
      });
    ADD_FAILURE() << "the caller's failure was lost";
  } catch (const std::runtime_error & error) {
    EXPECT_STREQ(error.what(), "here");
    EXPECT_TRUE(beside_ended.load()) << "thrown while the helper still ran";
  }

  bool here_ended = false;
  try {
    helper.run_together([&] {here_ended = true;}, [] {throw std::runtime_error("beside");});
    ADD_FAILURE() << "the helper's failure was lost";
  } catch (const std::runtime_error & error) {
    EXPECT_STREQ(error.what(), "beside");
    EXPECT_TRUE(here_ended);
  }

  // Both fail: the caller's own failure is the one reported.
  EXPECT_THROW(
    helper.run_together(
      [] {throw std::invalid_argument("here");},
      [] {throw std::runtime_error("beside");}), std::invalid_argument);

  // And the thread serves on.
  int here = 0;
  int beside = 0;
  helper.run_together([&] {here = 1;}, [&] {beside = 2;});
  EXPECT_EQ(here + beside, 3);
}

}  // namespace
}  // namespace tavrinox_camera_convertor
