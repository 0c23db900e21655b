// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <string>

namespace tavrinox_camera_convertor
{

/// Exit status of a run whose input, configuration, frame or output directory is at fault.
inline constexpr int kExitBadInput = 2;
/// Exit status of a run that failed for a reason the user cannot fix (a bug, no memory).
inline constexpr int kExitInternalError = 1;

/// How a failed run ends: its exit status and the one line that tells the user why.
struct RunnerFailure
{
  int exit_status = kExitInternalError;
  std::string message;
};

/**
 * @brief Classifies the exception being handled; call it inside a catch block only.
 *
 * RunnerError, UsageError and FrameError are the user's to fix (kExitBadInput, their text);
 * anything else is an internal error.
 */
RunnerFailure describe_current_failure();

}  // namespace tavrinox_camera_convertor
