// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The entry point of the node tests: the environment every one of them runs in, set before
// anything starts ROS.
#include <gtest/gtest.h>

#include "node_process.hpp"

int main(int argc, char ** argv)
{
  ::testing::InitGoogleTest(&argc, argv);
  tavrinox_camera_convertor::test::use_test_middleware();
#ifdef TAVRINOX_FIND_INSTALL_FIRST
  // The component and the transport plugins are found through the ament index of the install.
  tavrinox_camera_convertor::test::find_package_install_first(TAVRINOX_INSTALL_PREFIX);
#endif
  return RUN_ALL_TESTS();
}
