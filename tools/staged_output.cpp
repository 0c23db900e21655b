// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "staged_output.hpp"

#include <algorithm>
#include <fstream>
#include <system_error>
#include <utility>

#include "runner_error.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

std::filesystem::path temporary_name_of(const std::filesystem::path & final_path)
{
  return final_path.parent_path() / ("." + final_path.filename().string() + ".partial");
}

}  // namespace

StagedOutput::StagedOutput(std::filesystem::path directory)
: directory_(std::move(directory))
{
  try {
    create_missing_directories(directory_);
    // A probe now, so an unwritable directory is reported before any output is made.
    const std::filesystem::path probe = directory_ / ".tavrinox-write-probe.partial";
    const bool writable =
      static_cast<bool>(std::ofstream(probe, std::ios::binary | std::ios::trunc));
    std::error_code ignored;
    std::filesystem::remove(probe, ignored);
    if (!writable) {
      throw RunnerError(directory_.string() + ": cannot write files in the output directory");
    }
  } catch (...) {
    // No destructor runs for a constructor that throws.
    remove_uncommitted();
    throw;
  }
}

StagedOutput::~StagedOutput()
{
  if (!committed_) {
    remove_uncommitted();
  }
}

void StagedOutput::remove_uncommitted() noexcept
{
  std::error_code ignored;
  for (std::size_t i = renamed_; i < temporaries_.size(); ++i) {
    std::filesystem::remove(temporaries_[i], ignored);
  }
  // Innermost first; a directory that holds anything else (or a renamed file) stays.
  for (auto it = created_directories_.rbegin(); it != created_directories_.rend(); ++it) {
    std::filesystem::remove(*it, ignored);
  }
}

void StagedOutput::create_missing_directories(const std::filesystem::path & directory)
{
  std::vector<std::filesystem::path> missing;
  std::error_code error;
  for (std::filesystem::path at = directory; !at.empty(); at = at.parent_path()) {
    if (std::filesystem::exists(at, error)) {
      if (!std::filesystem::is_directory(at, error)) {
        throw RunnerError(
                directory.string() + ": cannot create the output directory (" + at.string() +
                " exists and is not a directory)");
      }
      break;
    }
    missing.push_back(at);
    if (at == at.parent_path()) {
      break;
    }
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (!std::filesystem::create_directory(*it, error) && error) {
      throw RunnerError(
              directory.string() + ": cannot create the output directory (" + error.message() +
              ")");
    }
    created_directories_.push_back(*it);
  }
}

StagedOutput::File StagedOutput::stage(const std::string & relative_name)
{
  const std::filesystem::path final_path = directory_ / relative_name;
  create_missing_directories(final_path.parent_path());
  temporaries_.push_back(temporary_name_of(final_path));
  finals_.push_back(final_path);
  return {temporaries_.back(), final_path.string()};
}

void StagedOutput::commit()
{
  for (; renamed_ < finals_.size(); ++renamed_) {
    std::error_code error;
    std::filesystem::rename(temporaries_[renamed_], finals_[renamed_], error);
    if (error) {
      throw RunnerError(
              finals_[renamed_].string() + ": cannot move the finished file into place (" +
              error.message() + ")");
    }
  }
  committed_ = true;
}

}  // namespace tavrinox_camera_convertor
