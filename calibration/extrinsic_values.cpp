// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "extrinsic_values.hpp"

#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "runner_error.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

constexpr int kAngleDecimals = 4;
constexpr int kMetreDecimals = 6;

std::string section_of(int camera)
{
  return "camera_extrinsic_" + std::to_string(camera);
}

YAML::Node parse(const std::string & text, const std::string & shown_path)
{
  try {
    return YAML::Load(text);
  } catch (const YAML::Exception & error) {
    throw RunnerError("configuration file " + shown_path + ": " + error.what());
  }
}

/// The three elements of section.key, checked to be there.
std::array<YAML::Node, 3> elements(
  const YAML::Node & root, int camera, const char * key, const std::string & shown_path)
{
  const std::string section = section_of(camera);
  const auto missing = [&]() {
      return RunnerError(
        "configuration file " + shown_path + ": " + section + "." + key +
        " is not a sequence of three numbers");
    };
  // A missing key makes yaml-cpp hand out an invalid node, which throws on any question but whether
  // it is defined.
  if (!root.IsMap() || !root[section] || !root[section].IsMap()) {
    throw missing();
  }
  const YAML::Node sequence = root[section][key];
  if (!sequence || !sequence.IsSequence() || sequence.size() != 3) {
    throw missing();
  }
  return {sequence[0], sequence[1], sequence[2]};
}

/// Where a scalar's text ends: its closing quote, or for a plain scalar before the next
/// separator, comment or line end, trailing blanks left out.
std::size_t scalar_end(const std::string & text, std::size_t begin)
{
  const char quote = text[begin];
  if (quote == '"' || quote == '\'') {
    for (std::size_t i = begin + 1; i < text.size(); ++i) {
      if (quote == '"' && text[i] == '\\') {
        ++i;
      } else if (text[i] == quote) {
        return i + 1;
      }
    }
    return text.size();
  }
  std::size_t end = begin;
  while (end < text.size() && std::string(",]}\r\n").find(text[end]) == std::string::npos &&
    !(text[end] == '#' && end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')))
  {
    ++end;
  }
  while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) {
    --end;
  }
  return end;
}

/// A number's place in the text and what goes there instead.
struct Replacement
{
  std::size_t begin;
  std::size_t end;
  std::string number;
};

}  // namespace

std::string config_number(double value, int decimals)
{
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  std::string text = buffer;
  while (text.size() > 1 && text.back() == '0' && text[text.size() - 2] != '.') {
    text.pop_back();
  }
  return text == "-0.0" ? "0.0" : text;
}

ExtrinsicValues read_extrinsic_values(
  const std::string & text, int camera,
  const std::string & shown_path)
{
  const YAML::Node root = parse(text, shown_path);
  const std::array<YAML::Node, 3> angles = elements(root, camera, "Rxyz", shown_path);
  const std::array<YAML::Node, 3> translation = elements(root, camera, "Txyz", shown_path);
  ExtrinsicValues values;
  try {
    for (std::size_t i = 0; i < 3; ++i) {
      values.angles_deg[i] = angles[i].as<double>();
      values.translation_m[i] = translation[i].as<double>();
    }
  } catch (const YAML::Exception & error) {
    throw RunnerError("configuration file " + shown_path + ": " + error.what());
  }
  return values;
}

ExtrinsicTransform configured_extrinsic(
  const std::string & text, int camera,
  const std::string & shown_path)
{
  const YAML::Node root = parse(text, shown_path);
  const std::array<YAML::Node, 3> angle_nodes = elements(root, camera, "Rxyz", shown_path);
  const std::array<YAML::Node, 3> translation_nodes = elements(root, camera, "Txyz", shown_path);
  std::array<float, 3> angles{};
  std::array<float, 3> translation{};
  try {
    for (std::size_t i = 0; i < 3; ++i) {
      angles[i] = angle_nodes[i].as<float>();
      translation[i] = translation_nodes[i].as<float>();
    }
  } catch (const YAML::Exception & error) {
    throw RunnerError("configuration file " + shown_path + ": " + error.what());
  }
  return make_extrinsic_transform(angles, translation);
}

std::string replace_extrinsic_values(
  const std::string & text, int camera, const ExtrinsicValues & values,
  const std::string & shown_path)
{
  const YAML::Node root = parse(text, shown_path);
  std::vector<Replacement> replacements;
  const auto add = [&](const char * key, const std::array<double, 3> & numbers, int decimals) {
      const std::array<YAML::Node, 3> nodes = elements(root, camera, key, shown_path);
      for (std::size_t i = 0; i < 3; ++i) {
        const YAML::Mark mark = nodes[i].Mark();
        const auto begin = static_cast<std::size_t>(mark.pos);
        // The mark counts bytes of UTF-8 text; anything else (a byte order mark, another encoding)
        // would put it elsewhere, which the comparison with the parsed value catches.
        const std::size_t end = mark.pos < 0 || begin >= text.size() ? begin : scalar_end(
          text,
          begin);
        if (end == begin ||
          parse(text.substr(begin, end - begin), shown_path).Scalar() != nodes[i].Scalar())
        {
          throw RunnerError(
                  "configuration file " + shown_path + ": cannot find the text of " +
                  section_of(camera) + "." + key +
                  " to rewrite it; enter the corrected values by hand");
        }
        replacements.push_back({begin, end, config_number(numbers[i], decimals)});
      }
    };
  add("Rxyz", values.angles_deg, kAngleDecimals);
  add("Txyz", values.translation_m, kMetreDecimals);

  // From the last number back, so that earlier positions stay valid.
  std::sort(
    replacements.begin(), replacements.end(), [](const Replacement & a, const Replacement & b) {
      return a.begin > b.begin;
    });
  std::string rewritten = text;
  for (const Replacement & replacement : replacements) {
    rewritten.replace(replacement.begin, replacement.end - replacement.begin, replacement.number);
  }
  return rewritten;
}

}  // namespace tavrinox_camera_convertor
