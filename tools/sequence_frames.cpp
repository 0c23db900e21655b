// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "sequence_frames.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <map>
#include <string_view>

#include "runner_error.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

constexpr std::array<std::string_view, 3> kRequiredRoles = {"depth1", "depth2", "rgb1"};
constexpr std::array<std::string_view, 5> kRoles = {"depth1", "depth2", "rgb1", "rgb2", "truth1"};

bool all_digits(const std::string & text)
{
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](unsigned char c) {return std::isdigit(c) != 0;});
}

/// Numeric order; equal numbers written differently ("1", "01") keep their text order.
struct NumericOrder
{
  bool operator()(const std::string & a, const std::string & b) const
  {
    const std::string a_digits = a.substr(std::min(a.find_first_not_of('0'), a.size()));
    const std::string b_digits = b.substr(std::min(b.find_first_not_of('0'), b.size()));
    if (a_digits.size() != b_digits.size()) {
      return a_digits.size() < b_digits.size();
    }
    return a_digits != b_digits ? a_digits < b_digits : a < b;
  }
};

/// Paths of one frame set by role.
using RoleFiles = std::map<std::string, std::string>;

SequenceFrame complete_frame(
  const std::string & directory, const std::string & id,
  const RoleFiles & files)
{
  for (const std::string_view role : kRequiredRoles) {
    if (files.count(std::string(role)) == 0) {
      throw RunnerError(
              directory + ": frame " + id + " has no " + id + "_" + std::string(
                role) + " file");
    }
  }
  SequenceFrame frame;
  frame.id = id;
  frame.files.depth_1 = files.at("depth1");
  frame.files.depth_2 = files.at("depth2");
  frame.files.rgb_1 = files.at("rgb1");
  if (files.count("rgb2") != 0) {
    frame.files.rgb_2 = files.at("rgb2");
  }
  if (files.count("truth1") != 0) {
    frame.files.truth_1 = files.at("truth1");
  }
  return frame;
}

}  // namespace

std::vector<SequenceFrame> list_sequence_frames(const std::string & directory)
{
  std::error_code error;
  if (!std::filesystem::is_directory(directory, error)) {
    throw RunnerError(directory + ": no such directory (expected a sequence directory)");
  }
  std::map<std::string, RoleFiles, NumericOrder> by_id;
  for (const std::filesystem::directory_entry & entry :
    std::filesystem::directory_iterator(directory, error))
  {
    // ID_ROLE.EXTENSION, for example 000001_depth1.png
    const std::string name = entry.path().filename().string();
    const std::size_t underscore = name.find('_');
    if (underscore == std::string::npos) {
      continue;
    }
    const std::size_t dot = name.find('.', underscore);
    const std::string id = name.substr(0, underscore);
    const std::string role = name.substr(
      underscore + 1,
      dot == std::string::npos ? dot : dot - underscore - 1);
    if (dot == std::string::npos || !all_digits(id) ||
      std::find(kRoles.begin(), kRoles.end(), role) == kRoles.end())
    {
      continue;
    }
    const auto [existing, added] = by_id[id].emplace(role, entry.path().string());
    if (!added) {
      throw RunnerError(
              directory + ": frame " + id + " has two " + role + " files: " +
              std::filesystem::path(existing->second).filename().string() + " and " + name);
    }
  }
  if (error) {
    throw RunnerError(directory + ": cannot list the sequence directory (" + error.message() + ")");
  }
  if (by_id.empty()) {
    throw RunnerError(directory + ": no frame files found (expected names like 000001_depth1.png)");
  }
  std::vector<SequenceFrame> frames;
  for (const auto & [id, files] : by_id) {
    frames.push_back(complete_frame(directory, id, files));
  }
  return frames;
}

}  // namespace tavrinox_camera_convertor
