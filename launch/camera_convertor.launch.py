# Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
"""Starts the camera convertor node; it reads share/tavrinox_camera_convertor/config/camera_config.yaml."""

from launch import LaunchDescription
from launch_ros.actions import Node


def generate_launch_description():
    return LaunchDescription([
        Node(
            package='tavrinox_camera_convertor',
            executable='camera_convertor_node',
            output='screen',
            emulate_tty=True,
        ),
    ])
