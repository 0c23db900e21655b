# Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
"""What the converter's process needs for large messages: the middleware profiles and, for a
component container, glibc's allocator settings that the node's own process makes itself."""

import os

from ament_index_python.packages import get_package_share_directory
from launch.actions import DeclareLaunchArgument, LogInfo
from launch.substitutions import LaunchConfiguration

# Each middleware reads only its own variable, so both can be set whichever one runs.
PROFILES = {
    'CYCLONEDDS_URI': ('cyclonedds.xml', 'file://{}'),
    'FASTRTPS_DEFAULT_PROFILES_FILE': ('fastdds.xml', '{}'),
}
# What the profiles' socket buffers need from the kernel.
WANTED_RMEM_MAX = 64 * 1024 * 1024


def declare_argument():
    return DeclareLaunchArgument(
        'use_dds_profile', default_value='true',
        description="Give the converter's process the package's large-message DDS profile; "
                    'a CYCLONEDDS_URI or FASTRTPS_DEFAULT_PROFILES_FILE already set wins.')


def profile_environment(context):
    """The variables to add to the process's environment, and log lines saying what was done."""
    wanted = LaunchConfiguration('use_dds_profile').perform(context).lower()
    if wanted not in ('true', '1', 'yes', 'on'):
        return {}, [LogInfo(msg='DDS profile: not applied (use_dds_profile is false)')]
    config = os.path.join(get_package_share_directory('tavrinox_camera_convertor'), 'config')
    environment = {}
    messages = []
    for variable, (file_name, form) in PROFILES.items():
        path = os.path.join(config, file_name)
        if os.environ.get(variable):
            messages.append(LogInfo(
                msg='DDS profile: keeping {}={}'.format(variable, os.environ[variable])))
        elif os.path.exists(path):
            environment[variable] = form.format(path)
            messages.append(LogInfo(msg='DDS profile: {}={}'.format(variable, environment[variable])))
    rmem_max = read_rmem_max()
    if rmem_max is not None and rmem_max < WANTED_RMEM_MAX:
        messages.append(LogInfo(msg=(
            'DDS profile: net.core.rmem_max is {} bytes; large messages need {} '
            '(sudo sysctl -w net.core.rmem_max={})').format(
                rmem_max, WANTED_RMEM_MAX, WANTED_RMEM_MAX)))
    return environment, messages


def read_rmem_max():
    try:
        with open('/proc/sys/net/core/rmem_max') as limit:
            return int(limit.read().strip())
    except (OSError, ValueError):
        return None


# Freed images and clouds stay in the process for the next frame instead of being returned to
# the kernel and faulted in again, page by page (see keep_large_buffers_allocated in the node).
CONTAINER_MALLOC_TUNABLES = (
    'glibc.malloc.mmap_threshold=33554432:glibc.malloc.trim_threshold=1073741824:'
    'glibc.malloc.arena_max=1')


def container_environment(context):
    """profile_environment, plus the allocator settings unless GLIBC_TUNABLES is set already."""
    environment, messages = profile_environment(context)
    if os.environ.get('GLIBC_TUNABLES'):
        messages.append(LogInfo(msg='Allocator: keeping GLIBC_TUNABLES=' + os.environ['GLIBC_TUNABLES']))
    else:
        environment['GLIBC_TUNABLES'] = CONTAINER_MALLOC_TUNABLES
        messages.append(LogInfo(msg='Allocator: GLIBC_TUNABLES=' + CONTAINER_MALLOC_TUNABLES))
    return environment, messages
