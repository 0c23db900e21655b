// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "runner_failure.hpp"

#include <exception>

#include "runner_error.hpp"
#include "tavrinox_camera_convertor/geometry/frame_error.hpp"

namespace tavrinox_camera_convertor
{

RunnerFailure describe_current_failure()
{
  try {
    throw;
  } catch (const UsageError & error) {
    return {kExitBadInput, std::string(error.what()) + " (see --help)"};
  } catch (const RunnerError & error) {
    return {kExitBadInput, error.what()};
  } catch (const FrameError & error) {
    return {kExitBadInput, std::string("the pipeline rejected the frame: ") + error.what()};
  } catch (const std::exception & error) {
    return {kExitInternalError, std::string("internal error: ") + error.what()};
  } catch (...) {
    return {kExitInternalError, "internal error of unknown type"};
  }
}

}  // namespace tavrinox_camera_convertor
