// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Large buffers freed by one thread are reused by the next frame without page faults.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "tavrinox_camera_convertor/process/large_buffer_allocation.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

std::int64_t minor_page_faults()
{
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

/// Frames as in a process with the converter and a consumer: an executor thread writes a frame's
/// three clouds and two images while the consumer, on a thread of its own, still holds the last
/// frame's and frees them once the new ones are out. Returns the page faults of a frame.
std::int64_t page_faults_per_frame(int frames)
{
  static constexpr std::array<std::size_t, 5> kOutputBytes = {
    14745600, 14745600, 1843200, 2764800, 14745600};
  using Outputs = std::vector<std::vector<std::uint8_t>>;
  Outputs held;
  std::int64_t faults = 0;
  for (int frame = 0; frame < frames; ++frame) {
    const std::int64_t before = minor_page_faults();
    Outputs made;
    std::thread executor([&made] {
        for (const std::size_t bytes : kOutputBytes) {
          made.emplace_back(bytes, 1);
        }
      });
    executor.join();
    std::thread consumer([&held, &made] {held = std::move(made);});
    consumer.join();
    faults += minor_page_faults() - before;
  }
  return faults / frames;
}

/// Page faults per frame in a fresh child process, with the settings applied first or not.
std::int64_t page_faults_in_child(bool keep)
{
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) {
    return -1;
  }
  const pid_t child = fork();
  if (child == 0) {
    close(pipe_ends[0]);
    std::int64_t faults = -1;
    if (!keep || keep_large_buffers_allocated()) {
      page_faults_per_frame(3);  // the heap grows to its working size once
      faults = page_faults_per_frame(10);
    }
    const ssize_t written = write(pipe_ends[1], &faults, sizeof faults);
    _exit(written == sizeof faults ? 0 : 1);
  }
  close(pipe_ends[1]);
  std::int64_t faults = -1;
  if (read(pipe_ends[0], &faults, sizeof faults) != sizeof faults) {
    faults = -1;
  }
  close(pipe_ends[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return faults;
}

TEST(LargeBufferAllocation, AFreedFrameIsReusedWithoutFaultingItsPagesInAgain)
{
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer's allocator replaces glibc's";
#endif
  ASSERT_EQ(std::getenv("GLIBC_TUNABLES"), nullptr) << "the test needs glibc's own defaults";
  const std::int64_t by_default = page_faults_in_child(false);
  const std::int64_t kept = page_faults_in_child(true);
  ASSERT_GE(kept, 0) << "the settings were refused";
  // A frame's 49 MB are 12000 pages of 4 kB; the two threads started per frame fault a few
  // hundred of their own either way.
  EXPECT_LT(
    kept * 10,
    by_default) << kept << " faults per frame kept, " << by_default << " by default";
  EXPECT_GT(by_default, 3000) << "glibc's defaults no longer fault: the setting may be moot";
}

TEST(LargeBufferAllocation, SettingsInGlibcTunablesWin)
{
  setenv("GLIBC_TUNABLES", "glibc.malloc.arena_max=4", 1);
  EXPECT_FALSE(keep_large_buffers_allocated());
  unsetenv("GLIBC_TUNABLES");
}

}  // namespace
}  // namespace tavrinox_camera_convertor
