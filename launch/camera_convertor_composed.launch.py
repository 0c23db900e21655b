# Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
"""Loads the camera convertor into a component container with intra-process communication.

Camera drivers and consumers loaded into the same container (`container_name`) exchange images
and clouds with the converter without a copy and without the middleware.
"""

import os
import sys

from launch import LaunchDescription
from launch.actions import DeclareLaunchArgument, OpaqueFunction
from launch.substitutions import LaunchConfiguration
from launch_ros.actions import ComposableNodeContainer
from launch_ros.descriptions import ComposableNode

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))
import enclave  # noqa: E402
import large_messages  # noqa: E402
import node_parameters  # noqa: E402


def container_with_profile(context):
    environment, messages = large_messages.container_environment(context)
    return messages + [
        ComposableNodeContainer(
            name=LaunchConfiguration('container_name'),
            namespace='',
            package='rclcpp_components',
            # One thread per component: a frame being converted holds up no driver, and Humble's
            # multi-threaded executor would hold intra-process messages of a busy callback group
            # until its next wake-up (ros2/rclcpp#2012).
            executable='component_container_isolated',
            output='screen',
            emulate_tty=True,
            additional_env=environment,
            # The container's process holds the converter's participant: its enclave is theirs.
            ros_arguments=enclave.ros_arguments(context),
            composable_node_descriptions=[
                ComposableNode(
                    package='tavrinox_camera_convertor',
                    plugin='tavrinox_camera_convertor::CameraConvertor',
                    name='Morvanteq',
                    parameters=node_parameters.parameters(),
                    extra_arguments=[{'use_intra_process_comms': True}],
                ),
            ],
        ),
    ]


def generate_launch_description():
    return LaunchDescription([
        DeclareLaunchArgument(
            'container_name', default_value='camera_convertor_container',
            description='Name of the component container, for loading drivers and consumers '
                        'into it'),
        large_messages.declare_argument(),
        enclave.declare_argument(),
        *node_parameters.declare_arguments(),
        OpaqueFunction(function=container_with_profile),
    ])
