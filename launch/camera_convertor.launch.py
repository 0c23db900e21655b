# Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
"""Starts the camera convertor node in its own process, with the large-message DDS profile.

The node reads share/tavrinox_camera_convertor/config/camera_config.yaml unless config_file
names another file.
"""

import os
import sys

from launch import LaunchDescription
from launch.actions import OpaqueFunction

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))
import enclave  # noqa: E402
import large_messages  # noqa: E402
import node_parameters  # noqa: E402


def node_with_profile(context):
    environment, messages = large_messages.profile_environment(context)
    return messages + [node_parameters.converter_node(environment, enclave.ros_arguments(context))]


def generate_launch_description():
    return LaunchDescription([
        large_messages.declare_argument(),
        enclave.declare_argument(),
        *node_parameters.declare_arguments(),
        OpaqueFunction(function=node_with_profile),
    ])
