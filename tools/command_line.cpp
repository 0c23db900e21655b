// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "command_line.hpp"

#include <algorithm>
#include <optional>
#include <stdexcept>

#include "runner_error.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

constexpr const char * kHelp = "--help";

bool is_one_of(const std::string & name, const std::vector<std::string> & names)
{
  return std::find(names.begin(), names.end(), name) != names.end();
}

/// An option's name and the value given with it after '=', if any.
struct Argument
{
  std::string name;
  std::optional<std::string> value;
};

Argument split(const std::string & argument)
{
  const std::size_t equals = argument.find('=');
  if (argument.rfind("--", 0) != 0 || equals == std::string::npos) {
    return {argument == "-h" ? kHelp : argument, std::nullopt};
  }
  return {argument.substr(0, equals), argument.substr(equals + 1)};
}

}  // namespace

CommandLine::CommandLine(const std::vector<std::string> & arguments, const KnownOptions & known)
{
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    Argument argument = split(arguments[i]);
    const std::string & name = argument.name;
    const bool is_flag = name == kHelp || is_one_of(name, known.flags);
    if (!is_flag && !is_one_of(name, known.with_value)) {
      throw UsageError(
              name.rfind("-", 0) == 0 ? "unknown option " + name :
              "unexpected argument \"" + name + "\"");
    }
    if (is_flag && argument.value) {
      throw UsageError(name + " takes no value");
    }
    if (!is_flag && !argument.value) {
      if (i + 1 >= arguments.size()) {
        throw UsageError(name + " needs a value");
      }
      argument.value = arguments[++i];
    }
    if (!is_flag && argument.value->empty()) {
      throw UsageError(name + " needs a non-empty value");
    }
    if (!given_.emplace(name, argument.value.value_or("")).second) {
      throw UsageError(name + " is given twice");
    }
  }
}

bool CommandLine::has(const std::string & name) const
{
  return given_.count(name) != 0;
}

const std::string & CommandLine::value_of(const std::string & name) const
{
  const auto found = given_.find(name);
  if (found == given_.end()) {
    throw std::logic_error("the command line has no " + name + ": ask has() first");
  }
  return found->second;
}

std::string CommandLine::value_or(const std::string & name, const std::string & fallback) const
{
  return has(name) ? value_of(name) : fallback;
}

}  // namespace tavrinox_camera_convertor
