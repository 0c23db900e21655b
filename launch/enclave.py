# Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
"""The launch argument `enclave`: the SROS2 enclave the converter's process runs in.

Security itself is switched on by the environment (ROS_SECURITY_ENABLE, ROS_SECURITY_STRATEGY,
ROS_SECURITY_KEYSTORE); see doc/secured.md.
"""

from launch.actions import DeclareLaunchArgument
from launch.substitutions import LaunchConfiguration


def declare_argument():
    return DeclareLaunchArgument(
        'enclave', default_value='',
        description='SROS2 enclave of the converter\'s process, e.g. /tavrinox_camera_convertor '
                    '(passed as --enclave); empty: none')


def ros_arguments(context):
    """The process's ROS arguments for the enclave, or None without one."""
    enclave = LaunchConfiguration('enclave').perform(context)
    return ['--enclave', enclave] if enclave else None
