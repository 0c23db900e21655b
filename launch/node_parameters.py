# Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
"""The converter's parameters as launch arguments, shared by the package's launch files."""

from launch.actions import DeclareLaunchArgument
from launch.substitutions import LaunchConfiguration
from launch_ros.actions import Node
from launch_ros.parameter_descriptions import ParameterValue

# name, type, default, description; an empty text keeps the node's own default.
ARGUMENTS = [
    ('config_file', str, '',
     'Camera configuration (YAML) to read; empty: the installed '
     'share/tavrinox_camera_convertor/config/camera_config.yaml'),
    ('camera_1_frame', str, '',
     "Camera 1's TF frame: published on /tf_static from the arm frame and carried by both "
     'images and the camera info; empty: none'),
    ('camera_2_frame', str, '',
     "Camera 2's TF frame, published on /tf_static from the arm frame; empty: none"),
    ('max_set_interval', float, '-1.0',
     "Seconds a set's four stamps may span: negative learns half the shortest frame period, "
     '0 pairs whatever the spread'),
    ('input_reliability', str, 'reliable',
     'QoS reliability of the image and camera info subscriptions: reliable or best_effort '
     '(drivers publishing with sensor-data QoS)'),
    ('intrinsics_source', str, 'config',
     "Cameras' intrinsics and lens distortion from config (the YAML file) or camera_info"),
    ('camera_info_topic_1', str, '',
     "Camera 1's camera info topic; empty: camera_info beside its depth topic"),
    ('camera_info_topic_2', str, '',
     "Camera 2's camera info topic; empty: camera_info beside its depth topic"),
    ('extrinsics_source', str, 'config',
     "Cameras' poses in the arm frame from config or tf (at each depth image's stamp)"),
    ('tf_timeout', float, '0.1',
     'Seconds a set waits for a transform TF does not have yet (extrinsics_source tf)'),
    ('output_stamp', str, 'now',
     "Outputs stamped now (when made) or acquisition (their images' stamps)"),
]


def declare_arguments(defaults=None):
    """The launch arguments, with `defaults` (name -> value) replacing the node's own."""
    defaults = defaults or {}
    return [
        DeclareLaunchArgument(name, default_value=defaults.get(name, default),
                              description=description)
        for name, _, default, description in ARGUMENTS
    ]


def parameters():
    """The node's parameters from the launch arguments, each of its own type: an empty text
    stays a text, and seconds typed as 0 stay a number of seconds."""
    return [{
        name: ParameterValue(LaunchConfiguration(name), value_type=value_type)
        for name, value_type, _, _ in ARGUMENTS
    }]


def converter_node(environment, ros_arguments=None):
    """The converter in a process of its own, with `environment`, `ros_arguments` (an enclave)
    and the launch arguments."""
    return Node(
        package='tavrinox_camera_convertor',
        executable='camera_convertor_node',
        output='screen',
        emulate_tty=True,
        additional_env=environment,
        ros_arguments=ros_arguments,
        parameters=parameters(),
    )
