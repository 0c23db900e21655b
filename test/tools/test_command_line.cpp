// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "command_line.hpp"
#include "usage_error_text.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

KnownOptions known_options()
{
  KnownOptions known;
  known.flags = {"--fast"};
  known.with_value = {"--out", "--config"};
  return known;
}

CommandLine read(const std::vector<std::string> & arguments)
{
  return CommandLine(arguments, known_options());
}

std::string usage_error_of(const std::vector<std::string> & arguments)
{
  return test::usage_error_text([&arguments] {read(arguments);});
}

TEST(CommandLine, ValuesFollowTheNameAsTheNextArgumentOrAfterTheFirstEqualsSign)
{
  const CommandLine given = read({"--out", "result", "--config=a=b.yaml", "--fast"});
  EXPECT_EQ(given.value_of("--out"), "result");
  EXPECT_EQ(given.value_of("--config"), "a=b.yaml");
  EXPECT_TRUE(given.has("--fast"));
  EXPECT_EQ(given.value_of("--fast"), "");
  EXPECT_FALSE(given.has("--help"));
}

TEST(CommandLine, TheArgumentAfterAnOptionWithAValueIsThatValueEvenWhenItLooksLikeAnOption)
{
  const CommandLine given = read({"--out", "-result", "--config", "--fast"});
  EXPECT_EQ(given.value_of("--out"), "-result");
  EXPECT_EQ(given.value_of("--config"), "--fast");
  EXPECT_FALSE(given.has("--fast"));
}

TEST(CommandLine, EveryToolKnowsHelpAlsoAsH)
{
  EXPECT_TRUE(CommandLine({"--help"}, KnownOptions{}).has("--help"));
  EXPECT_TRUE(CommandLine({"-h"}, KnownOptions{}).has("--help"));
  EXPECT_EQ(usage_error_of({"--help=yes"}), "--help takes no value");
}

TEST(CommandLine, AnOptionNotGivenFallsBackOrIsTheCallersMistake)
{
  const CommandLine given = read({"--fast"});
  EXPECT_EQ(given.value_or("--config", "default.yaml"), "default.yaml");
  EXPECT_EQ(read({"--config", "mine.yaml"}).value_or("--config", "default.yaml"), "mine.yaml");
  EXPECT_THROW(given.value_of("--out"), std::logic_error);
}

TEST(CommandLine, RefusalsNameTheArgumentAndWhatIsWrongWithIt)
{
  EXPECT_EQ(usage_error_of({"--slow"}), "unknown option --slow");
  EXPECT_EQ(usage_error_of({"-f"}), "unknown option -f");
  EXPECT_EQ(usage_error_of({"--fast", "stray"}), "unexpected argument \"stray\"");
  EXPECT_EQ(usage_error_of({""}), "unexpected argument \"\"");
  EXPECT_EQ(usage_error_of({"--fast=1"}), "--fast takes no value");
  EXPECT_EQ(usage_error_of({"--fast", "--out"}), "--out needs a value");
  EXPECT_EQ(usage_error_of({"--out="}), "--out needs a non-empty value");
  EXPECT_EQ(usage_error_of({"--out", ""}), "--out needs a non-empty value");
  EXPECT_EQ(usage_error_of({"--out", "a", "--out=b"}), "--out is given twice");
  EXPECT_EQ(usage_error_of({"--fast", "--fast"}), "--fast is given twice");
  EXPECT_EQ(usage_error_of({"--out", "a", "--fast"}), "");
}

}  // namespace
}  // namespace tavrinox_camera_convertor
