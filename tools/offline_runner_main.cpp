// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include <iostream>
#include <string>
#include <vector>

#include "default_config.hpp"
#include "offline_runner.hpp"

int main(int argc, char ** argv)
{
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  return tavrinox_camera_convertor::run_offline_runner(
    arguments, tavrinox_camera_convertor::default_config_path(TAVRINOX_DEFAULT_CONFIG_PATH),
    std::cout, std::cerr);
}
