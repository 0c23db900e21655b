// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Files and directories the tests write and read back.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace tavrinox_camera_convertor::test
{

/// @brief The whole content of `path`, byte for byte; "" when it cannot be read.
inline std::string read_text(const std::filesystem::path & path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

/// @brief Makes `text` the whole content of `path`.
inline void write_text(const std::filesystem::path & path, const std::string & text)
{
  std::ofstream(path, std::ios::binary) << text;
}

/// @brief Every regular file below `directory`, relative to it, sorted.
inline std::vector<std::string> files_below(const std::filesystem::path & directory)
{
  std::vector<std::string> names;
  for (const auto & entry : std::filesystem::recursive_directory_iterator(directory)) {
    if (entry.is_regular_file()) {
      names.push_back(std::filesystem::relative(entry.path(), directory).string());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

/// A fresh, empty directory of the running test's own, apart from other runs of the suite that
/// ctest starts side by side. Removed at the end, unless the test failed: then it is kept to be
/// looked at.
class ScratchDirectory
{
public:
  ScratchDirectory()
  {
    const ::testing::TestInfo * test = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::filesystem::path(::testing::TempDir()) /
      (std::string(test->test_suite_name()) + "_" + test->name() + "_" +
      std::to_string(getpid()));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDirectory()
  {
    if (!::testing::Test::HasFailure()) {
      std::error_code ignored;
      std::filesystem::remove_all(path_, ignored);
    }
  }
  ScratchDirectory(const ScratchDirectory &) = delete;
  ScratchDirectory & operator=(const ScratchDirectory &) = delete;

  /// @brief The path of `name` inside the directory.
  std::filesystem::path operator/(const std::string & name) const {return path_ / name;}
  /// @brief The directory itself.
  const std::filesystem::path & path() const {return path_;}

private:
  std::filesystem::path path_;
};

}  // namespace tavrinox_camera_convertor::test
