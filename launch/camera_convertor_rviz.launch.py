# Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
"""The converter with what RViz needs to show it: the cameras on TF, camera 1's camera info,
and rviz2 with a view of the three clouds in the arm frame and the completed depth as a depth
cloud. With point_cloud_xyz:=true, depth_image_proc rebuilds the converted cloud in camera 1's
frame from the completed depth image and its camera info, on /camera_02/depth/points.

Arguments beyond the node's own: rviz (default true), point_cloud_xyz (default false). rviz2 and
depth_image_proc are started only where they are installed.
"""

import os
import sys

from ament_index_python.packages import get_package_share_directory
from ament_index_python.packages import PackageNotFoundError
from launch import LaunchDescription
from launch.actions import DeclareLaunchArgument, LogInfo, OpaqueFunction
from launch.substitutions import LaunchConfiguration
from launch_ros.actions import ComposableNodeContainer, Node
from launch_ros.descriptions import ComposableNode
import yaml

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))
import enclave  # noqa: E402
import large_messages  # noqa: E402
import node_parameters  # noqa: E402

SHARE = get_package_share_directory('tavrinox_camera_convertor')


def installed(package):
    try:
        get_package_share_directory(package)
        return True
    except PackageNotFoundError:
        return False


def is_true(context, name):
    return LaunchConfiguration(name).perform(context).lower() in ('true', '1', 'yes', 'on')


def arm_frame(context):
    """The arm frame of the configuration the node reads, as RViz's fixed frame."""
    path = LaunchConfiguration('config_file').perform(context) or os.path.join(
        SHARE, 'config', 'camera_config.yaml')
    try:
        with open(path) as config:
            return str(yaml.safe_load(config)['tavrinox_camera_convertor']['arm_frame_id'])
    except (OSError, KeyError, TypeError, yaml.YAMLError):
        # The node says what is wrong with the file; RViz keeps its configured frame.
        return None


def everything(context):
    environment, actions = large_messages.profile_environment(context)
    actions.append(node_parameters.converter_node(environment, enclave.ros_arguments(context)))
    if is_true(context, 'rviz'):
        if installed('rviz2'):
            arguments = ['-d', os.path.join(SHARE, 'config', 'camera_convertor.rviz')]
            frame = arm_frame(context)
            if frame:
                arguments += ['-f', frame]
            actions.append(Node(package='rviz2', executable='rviz2', arguments=arguments,
                                additional_env=environment))
        else:
            actions.append(LogInfo(msg='rviz2 is not installed: not started'))
    if is_true(context, 'point_cloud_xyz'):
        if installed('depth_image_proc'):
            # The camera info comes from beside the image topic: /camera_02/depth/camera_info.
            actions.append(ComposableNodeContainer(
                name='depth_image_proc_container',
                namespace='',
                package='rclcpp_components',
                executable='component_container',
                additional_env=environment,
                composable_node_descriptions=[ComposableNode(
                    package='depth_image_proc',
                    plugin='depth_image_proc::PointCloudXyzNode',
                    name='converted_depth_to_points',
                    remappings=[('image_rect', '/camera_02/depth/converted_image'),
                                ('camera_info', '/camera_02/depth/camera_info'),
                                ('points', '/camera_02/depth/points')],
                )],
            ))
        else:
            actions.append(LogInfo(msg='depth_image_proc is not installed: not started'))
    return actions


def generate_launch_description():
    return LaunchDescription([
        large_messages.declare_argument(),
        enclave.declare_argument(),
        # RViz needs the cameras on TF to place the depth cloud.
        *node_parameters.declare_arguments(
            {'camera_1_frame': 'camera_1_optical_frame',
             'camera_2_frame': 'camera_2_optical_frame'}),
        DeclareLaunchArgument('rviz', default_value='true', description='Start rviz2'),
        DeclareLaunchArgument(
            'point_cloud_xyz', default_value='false',
            description="Rebuild the converted cloud in camera 1's frame with depth_image_proc"),
        OpaqueFunction(function=everything),
    ])
