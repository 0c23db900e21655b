// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <stdexcept>

namespace tavrinox_camera_convertor
{

/// An input or output the user can fix; the text names the file or directory and the problem.
class RunnerError : public std::runtime_error
{
public:
  using std::runtime_error::runtime_error;
};

/// A command line the runner cannot follow; the text says which option and why.
class UsageError : public RunnerError
{
public:
  using RunnerError::RunnerError;
};

}  // namespace tavrinox_camera_convertor
