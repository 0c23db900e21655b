// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace tavrinox_camera_convertor
{

/// The options a tool takes, by their full names ("--out"). Every tool takes --help, also as -h.
struct KnownOptions
{
  std::vector<std::string> flags;       ///< options that stand alone
  std::vector<std::string> with_value;  ///< options followed by their value
};

/// The options one command line gives, each checked against the tool's known options.
class CommandLine
{
public:
  /**
   * @brief Reads `arguments` (without the program name): `--name value` and `--name=value`
   *        both work, and the argument after an option that takes a value is its value even
   *        when it starts with a dash.
   * @throws UsageError naming an option that is unknown, given twice, lacks its value or has an
   *         empty one, a flag given a value, or an argument that is no option at all
   */
  CommandLine(const std::vector<std::string> & arguments, const KnownOptions & known);

  /// @brief Whether the option `name` was given.
  bool has(const std::string & name) const;

  /**
   * @brief The value the option `name` was given ("" for a flag).
   * @throws std::logic_error when it was not given: ask has() first
   */
  const std::string & value_of(const std::string & name) const;

  /// @brief The value the option `name` was given, or `fallback` when it was not given.
  std::string value_or(const std::string & name, const std::string & fallback) const;

private:
  std::map<std::string, std::string> given_;
};

}  // namespace tavrinox_camera_convertor
