// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Arbitrary bytes as the configuration file: load_camera_config must either return a
// configuration or throw one of yaml-cpp's own exceptions, which the node turns into its
// "Cannot start" line. Any other exception, a crash or a sanitizer report is a finding.
#include <unistd.h>
#include <yaml-cpp/yaml.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <sstream>
#include <string>
#include <typeinfo>

#include "tavrinox_camera_convertor/geometry/camera_config.hpp"

namespace
{

/// The file the loader reads; one per process, so parallel fuzzing jobs never share it.
class ScratchConfigFile
{
public:
  ScratchConfigFile()
  : path_("/tmp/tavrinox_config_fuzzer_" + std::to_string(::getpid()) + ".yaml")
  {
  }
  ~ScratchConfigFile() {std::remove(path_.c_str());}
  ScratchConfigFile(const ScratchConfigFile &) = delete;
  ScratchConfigFile & operator=(const ScratchConfigFile &) = delete;

  /// @brief Replaces the file's contents with `size` bytes at `data`.
  void write(const std::uint8_t * data, std::size_t size) const
  {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) {
      // A failed write would make every input look like a missing file and hide everything else.
      std::fprintf(stderr, "config_fuzzer: cannot write %s\n", path_.c_str());
      std::abort();
    }
  }

  const std::string & path() const {return path_;}

private:
  std::string path_;
};

[[noreturn]] void report_finding(const std::string & what)
{
  std::fprintf(stderr, "config_fuzzer: %s\n", what.c_str());
  std::abort();
}

[[noreturn]] void report_foreign_exception(const char * type_name, const char * text)
{
  report_finding(
    std::string(
      "load_camera_config let a non-yaml-cpp exception escape: ") + type_name + ": " + text);
}

bool usable_intrinsics(const tavrinox_camera_convertor::CameraIntrinsics & intrinsics)
{
  return std::isfinite(intrinsics.fx) && std::isfinite(intrinsics.fy) &&
         std::isfinite(intrinsics.cx) &&
         std::isfinite(intrinsics.cy) && intrinsics.fx != 0.0f && intrinsics.fy != 0.0f;
}

/// What a loaded configuration promises: calibration from which every point comes out finite.
bool usable_calibration(const tavrinox_camera_convertor::CameraConfig & config)
{
  return config.extrinsic_1.allFinite() && config.extrinsic_2.allFinite() &&
         usable_intrinsics(config.intrinsics_1) && usable_intrinsics(config.intrinsics_2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t * data, std::size_t size)
{
  // The only state kept between inputs: where the bytes are written (removed at exit).
  static const ScratchConfigFile file;
  file.write(data, size);
  std::ostringstream printed_matrices;
  try {
    const tavrinox_camera_convertor::CameraConfig config =
      tavrinox_camera_convertor::load_camera_config(file.path(), printed_matrices);
    // Both matrices are printed before the rest of the file is read, so success implies them.
    if (printed_matrices.str().find("camera_extrinsic_2_") == std::string::npos) {
      report_finding("a configuration was returned without its matrices printed");
    }
    if (!usable_calibration(config)) {
      report_finding(
        "a configuration with a NaN or infinite value or a zero focal length was returned");
    }
  } catch (const YAML::Exception &) {
    // The documented way to refuse a file.
  } catch (const std::exception & error) {
    report_foreign_exception(typeid(error).name(), error.what());
  } catch (...) {
    report_foreign_exception("(not a std::exception)", "");
  }
  return 0;
}
