#!/usr/bin/env python3
# Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
"""Every library the build looks for is a dependency in package.xml, and the other way round.

rosdep installs only what package.xml names, so a find_package, find_path or find_library
without a matching key breaks the build on a fresh machine; a <depend> that nothing finds
installs something for nothing. Usage: check_dependencies.py [REPOSITORY_ROOT]
"""

import pathlib
import re
import sys
import xml.etree.ElementTree as ElementTree

# What the build looks for that is not a ROS package of the same name, and the rosdep key that
# installs it. None: part of the compiler's or the system's own libraries.
KEY_OF = {
    'Eigen3': 'eigen',
    'yaml-cpp': 'yaml-cpp',
    'PCL': 'libpcl-all-dev',
    # VTK, which PCL loads, needs MPI's C targets on Debian 12; PCL's package brings MPI along.
    'MPI': 'libpcl-all-dev',
    'OpenCV': 'libopencv-dev',
    'GTest': 'gtest',
    'Threads': None,
    # The interpreter that runs this check; every ROS 2 and Debian system has it.
    'Python3': None,
    'backward.hpp': 'libbackward-cpp-dev',
    'dw': 'libdw-dev',
    # Clouds travel compressed: zstd's header and library.
    'zstd.h': 'libzstd-dev',
    'zstd': 'libzstd-dev',
    # Every payload carries an XXH3 checksum: xxHash's header and library.
    'xxhash.h': 'libxxhash-dev',
    'xxhash': 'libxxhash-dev',
}
# Dependencies needed when the package runs or is tested, never looked for by the build.
RUN_TIME_KEYS = {'launch', 'launch_ros', 'ros2launch', 'ament_index_python', 'ros2component',
                 'image_transport_plugins', 'point_cloud_transport_plugins'}

FIND = re.compile(
    r'\b(find_package|find_path|find_library)\s*\(\s*([A-Za-z0-9_.+-]+)(?:\s+([A-Za-z0-9_.+-]+))?')


def looked_for(root):
    """Name -> the first file that looks for it."""
    found = {}
    lint_auto = False
    files = [p for p in root.rglob('CMakeLists.txt')] + [p for p in root.rglob('*.cmake')]
    for path in sorted(files):
        if 'build' in path.relative_to(root).parts[:1] or '.git' in path.parts:
            continue
        for line in path.read_text().splitlines():
            line = line.split('#', 1)[0]
            lint_auto = lint_auto or 'ament_lint_auto_find_test_dependencies' in line
            for command, first, second in FIND.findall(line):
                # find_path(VAR name) and find_library(VAR name) look for their second argument.
                name = first if command == 'find_package' else second
                if name and not name.startswith('$'):
                    found.setdefault(name, str(path.relative_to(root)))
    return found, lint_auto


def declared(root):
    """Key -> the kinds of <*depend> that name it."""
    kinds = {}
    for element in ElementTree.parse(root / 'package.xml').getroot():
        if element.tag.endswith('depend'):
            kinds.setdefault(element.text.strip(), set()).add(element.tag)
    return kinds


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else '.').resolve()
    found, lint_auto = looked_for(root)
    keys = declared(root)
    if lint_auto:
        # ament_lint_auto looks for every linter the package test-depends on.
        for key, kinds in keys.items():
            if 'test_depend' in kinds and key.startswith(('ament_cmake_', 'ament_lint')):
                found.setdefault(key, 'ament_lint_auto_find_test_dependencies')
    problems = []
    needed = set()
    for name, where in sorted(found.items()):
        key = KEY_OF.get(name, name)
        if key is None:
            continue
        needed.add(key)
        if key not in keys:
            problems.append(
                '{} looks for {}, but package.xml has no dependency on {}'.format(where, name, key))
    for key, kinds in sorted(keys.items()):
        if key in needed or key in RUN_TIME_KEYS:
            continue
        problems.append(
            'package.xml declares {} ({}), but the build never looks for it'.format(
                key, ', '.join(sorted(kinds))))
    for problem in problems:
        print('check_dependencies: ' + problem)
    if problems:
        return 1
    print('check_dependencies: {} libraries looked for, all declared; {} keys declared, all used'.format(
        len(found), len(keys)))
    return 0


if __name__ == '__main__':
    sys.exit(main())
