// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/ros/process_entry.hpp"

int main(int argc, char ** argv)
{
  return tavrinox_camera_convertor::run_camera_convertor(argc, argv);
}
