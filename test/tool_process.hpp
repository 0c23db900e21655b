// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// A tool's executable run as a child process, the way a user runs it from a shell.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "test_files.hpp"

namespace tavrinox_camera_convertor::test
{

/// How a tool's run ended and what it printed.
struct RunResult
{
  int exit_status = -1;  ///< -1 when the tool did not end by itself (a signal)
  std::string out;
  std::string err;
};

/// @brief `text` as one word for the shell, whatever characters it holds.
inline std::string shell_quoted(const std::string & text)
{
  std::string quoted = "'";
  for (const char c : text) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}

/**
 * @brief Runs `executable` with `arguments` and waits for it to end.
 * @param work where its standard output and error are kept, as stdout.txt and stderr.txt
 */
inline RunResult run_tool(
  const std::string & executable, const std::vector<std::string> & arguments,
  const std::filesystem::path & work)
{
  std::string command = shell_quoted(executable);
  for (const std::string & argument : arguments) {
    command += " " + shell_quoted(argument);
  }
  const std::filesystem::path out = work / "stdout.txt";
  const std::filesystem::path err = work / "stderr.txt";
  command += " > " + shell_quoted(out.string()) + " 2> " + shell_quoted(err.string());
  const int status = std::system(command.c_str());
  RunResult result;
  result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = read_text(out);
  result.err = read_text(err);
  return result;
}

}  // namespace tavrinox_camera_convertor::test
