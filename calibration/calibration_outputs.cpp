// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "calibration_outputs.hpp"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "image_files.hpp"
#include "runner_error.hpp"
#include "staged_output.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

namespace fs = std::filesystem;

fs::path directory_of(const fs::path & file)
{
  return file.parent_path().empty() ? fs::path(".") : file.parent_path();
}

fs::path picture_directory(const CalibrationOptions & options)
{
  if (!options.output_directory.empty()) {
    return options.output_directory;
  }
  return options.write_path.empty() ? fs::path() : directory_of(options.write_path);
}

bool same_directory(const fs::path & a, const fs::path & b)
{
  return fs::absolute(a).lexically_normal() == fs::absolute(b).lexically_normal();
}

void stage_config(StagedOutput & staged, const std::string & name, const LoadedConfig & corrected)
{
  const StagedOutput::File file = staged.stage(name);
  std::ofstream stream(file.temporary, std::ios::binary | std::ios::trunc);
  stream << corrected.text;
  stream.close();
  if (!stream) {
    throw RunnerError(file.final_path + ": cannot write it (" + std::strerror(errno) + ")");
  }
  // The node's own loader must read back exactly the calibration that was measured.
  if (!same_config(load_config_quietly(file.temporary.string()), corrected.config)) {
    throw std::logic_error(
            "the rewritten configuration " + file.final_path + " reads back differently");
  }
}

}  // namespace

void write_outputs(
  const CalibrationOptions & options, const std::vector<PictureRow> & rows,
  const std::string & picture_name,
  const std::optional<LoadedConfig> & corrected, std::ostream & out)
{
  std::optional<StagedOutput> config_output;
  std::optional<StagedOutput> picture_output;
  if (corrected && !options.write_path.empty()) {
    const fs::path path(options.write_path);
    if (fs::is_directory(path)) {
      throw RunnerError(
              "--write " + options.write_path +
              ": is a directory; give the new configuration's file name");
    }
    config_output.emplace(directory_of(path));
    stage_config(*config_output, path.filename().string(), *corrected);
  }
  const fs::path pictures = picture_directory(options);
  std::optional<std::string> written_picture;
  if (!pictures.empty()) {
    StagedOutput & staged = config_output && same_directory(config_output->directory(), pictures) ?
      *config_output : picture_output.emplace(pictures);
    const StagedOutput::File file = staged.stage(picture_name);
    write_png_file(draw_calibration_picture(rows), file.temporary, file.final_path);
    written_picture = file.final_path;
  }
  if (picture_output) {
    picture_output->commit();
  }
  if (config_output) {
    config_output->commit();
    out << "corrected configuration: " << options.write_path << std::endl;
  }
  if (written_picture) {
    out << "picture: " << *written_picture << std::endl;
  }
}

}  // namespace tavrinox_camera_convertor
