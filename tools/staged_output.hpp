// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace tavrinox_camera_convertor
{

/**
 * @brief The files of one output directory, which appear all together or not at all.
 *
 * Each file is written under a hidden temporary name next to its final one, and commit()
 * renames them all. Destroying a StagedOutput before commit() removes its temporaries and
 * the directories it created, so a failed run leaves nothing behind.
 */
class StagedOutput
{
public:
  /// Where a staged file is written now, and the name it takes on commit.
  struct File
  {
    std::filesystem::path temporary;
    std::string final_path;
  };

  /**
   * @brief Creates `directory` and its missing parents and checks that files can be written there.
   * @throws RunnerError naming the directory when it cannot be created or written
   */
  explicit StagedOutput(std::filesystem::path directory);
  ~StagedOutput();
  StagedOutput(const StagedOutput &) = delete;
  StagedOutput & operator=(const StagedOutput &) = delete;

  /**
   * @brief Reserves `relative_name` in the directory and says where to write it meanwhile.
   * @param relative_name a file name, or "subdirectory/name"; the subdirectory is created
   * @throws RunnerError when the subdirectory cannot be created
   */
  File stage(const std::string & relative_name);

  /**
   * @brief Gives every staged file its final name, replacing any older file of that name.
   * @throws RunnerError naming the file that cannot be renamed
   */
  void commit();

  /// @brief The output directory the files go to.
  const std::filesystem::path & directory() const {return directory_;}

private:
  void create_missing_directories(const std::filesystem::path & directory);
  void remove_uncommitted() noexcept;

  std::filesystem::path directory_;
  std::vector<std::filesystem::path> created_directories_;  ///< in creation order, outermost first
  std::vector<std::filesystem::path> temporaries_;
  std::vector<std::filesystem::path> finals_;
  std::size_t renamed_ = 0;
  bool committed_ = false;
};

}  // namespace tavrinox_camera_convertor
