#!/usr/bin/env python3
# Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
"""Fails when a core folder includes a header of a folder it must not depend on.

The rules are those of doc/architecture.md; src/CMakeLists.txt links the libraries the same way.
Usage: check_layering.py PACKAGE_ROOT
"""
import pathlib
import re
import sys

# Each folder of the core, and the folders whose headers it may include.
ALLOWED = {
    'concurrency': set(),
    'pairing': set(),
    'geometry': set(),
    'codec': {'geometry'},
    'pipeline': {'geometry', 'concurrency'},
    'process': set(),
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"tavrinox_camera_convertor/([a-z_]+)/')


def folder_files(root, folder):
    for base in (root / 'src' / folder, root / 'include' / 'tavrinox_camera_convertor' / folder):
        if base.is_dir():
            yield from sorted(p for p in base.rglob('*') if p.suffix in ('.cpp', '.hpp'))


def main():
    root = pathlib.Path(sys.argv[1])
    found = []
    for folder, allowed in ALLOWED.items():
        for path in folder_files(root, folder):
            for number, line in enumerate(path.read_text().splitlines(), 1):
                match = INCLUDE.match(line)
                if match and match.group(1) not in allowed | {folder}:
                    found.append(f'{path.relative_to(root)}:{number}: {folder}/ may not include '
                                 f'{match.group(1)}/ (allowed: {", ".join(sorted(allowed)) or "none"})')
    loose = [p.name for p in (root / 'include' / 'tavrinox_camera_convertor').glob('*.hpp')]
    loose += [p.name for p in (root / 'src').glob('*.[ch]pp')]
    found += [f'{name}: every core file belongs in a folder of its concern' for name in loose]
    print('\n'.join(found) if found else f'layering kept in {len(ALLOWED)} folders')
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main())
