#!/usr/bin/env python3
# Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
"""Writes the SROS2 policy of the camera convertor for a camera configuration.

The policy grants the node exactly what it subscribes to, publishes and serves, its opt-in
features included, under the input topic names of the configuration file; `ros2 security
create_permission` turns it into the enclave's permissions. See doc/secured.md.

Usage: make_policy.py [--config FILE] [--out FILE] [--enclave PATH] [--container NAME]
                      [--camera-info-topics TOPIC_1 TOPIC_2]
                      [--image-transport NAME]... [--cloud-transport NAME]...
                      [--check FILE]
Without --config: the package's config/camera_config.yaml (source tree or install). Without
--out: standard output. --check FILE compares FILE with what would be written, prints the
difference and exits 1 when they differ.
"""

import argparse
import difflib
import os
import sys
from xml.sax.saxutils import escape

PACKAGE = 'tavrinox_camera_convertor'
NODE = 'Morvanteq'
DEFAULT_ENCLAVE = '/tavrinox_camera_convertor'
DEFAULT_CONTAINER = 'camera_convertor_container'
INPUT_KEYS = ('rgb_topic_1', 'depth_topic_1', 'rgb_topic_2', 'depth_topic_2')

DEPTH_IMAGE = '/camera_02/depth/converted_image'
COLOR_IMAGE = '/camera_02/color/converted_image'
CLOUDS = ('/tavrinox_camera_convertor/cam1_cloud', '/tavrinox_camera_convertor/cam2_cloud',
          '/tavrinox_camera_convertor/converted_cloud')
# What the node advertises beside each output with all of Humble's transport plugins and the
# package's own installed: image_transport's compressed, compressedDepth and theora for both
# images; tavrinox_depth (published by the node itself) for the depth image and the clouds;
# tavrinox_color for the colour image; point_cloud_transport's draco, zlib and zstd for clouds.
IMAGE_TRANSPORTS = ['compressed', 'compressedDepth', 'theora']
CLOUD_TRANSPORTS = ['draco', 'tavrinox_depth', 'zlib', 'zstd']
PARAMETER_SERVICES = ('describe_parameters', 'get_parameter_types', 'get_parameters',
                      'list_parameters', 'set_parameters', 'set_parameters_atomically')
CONTAINER_SERVICES = ('_container/list_nodes', '_container/load_node', '_container/unload_node')


class ConfigError(Exception):
    pass


def default_config():
    here = os.path.dirname(os.path.realpath(__file__))
    for candidate in (os.path.join(here, '..', 'config', 'camera_config.yaml'),
                      os.path.join(here, '..', '..', 'share', PACKAGE, 'config',
                                   'camera_config.yaml')):
        if os.path.isfile(candidate):
            return os.path.normpath(candidate)
    raise ConfigError('no config/camera_config.yaml beside this script: give --config')


def scalar(text):
    """A plain, single-quoted or double-quoted YAML scalar without its quotes."""
    text = text.strip()
    if text[:1] in ('\'', '"') and text.find(text[0], 1) > 0:
        return text[1:text.find(text[0], 1)]
    return text.split(' #', 1)[0].strip()


def read_inputs(path):
    """The four input topics of the configuration's tavrinox_camera_convertor section, read from
    block lines (`  rgb_topic_1: /a/b`) or one flow mapping (`{rgb_topic_1: /a/b, ...}`)."""
    try:
        with open(path, encoding='utf-8') as config:
            lines = config.read().splitlines()
    except OSError as error:
        raise ConfigError('cannot read {}: {}'.format(path, error.strerror))
    values = {}
    in_section = False
    for line in lines:
        if not line.strip() or line.lstrip().startswith('#'):
            continue
        indented = line[0] in ' \t'
        key, _, rest = line.strip().partition(':')
        if not indented:
            in_section = key.strip() == PACKAGE
            rest = rest.strip()
            if in_section and rest.startswith('{'):
                for item in rest.strip('{} ').split(','):
                    name, _, value = item.partition(':')
                    values[name.strip()] = scalar(value)
            continue
        if in_section:
            values[key.strip()] = scalar(rest)
    missing = [key for key in INPUT_KEYS if not values.get(key)]
    if missing:
        raise ConfigError('{}: no {} in its {} section'.format(
            path, ', '.join(missing), PACKAGE))
    return [values[key] for key in INPUT_KEYS]


def camera_info_beside(image_topic):
    """image_transport's camera info topic of an image topic: /a/b/image -> /a/b/camera_info."""
    tokens = [token for token in image_topic.split('/')[:-1] if token]
    return ''.join('/' + token for token in tokens) + '/camera_info'


def topics_block(comment, qualifier, topics):
    lines = ['          <!-- {} -->'.format(comment),
             '          <topics {}="ALLOW">'.format(qualifier)]
    lines += ['            <topic>{}</topic>'.format(escape(topic)) for topic in topics]
    return lines + ['          </topics>']


def services_block(comment, services):
    lines = ['          <!-- {} -->'.format(comment), '          <services reply="ALLOW">']
    lines += ['            <service>{}</service>'.format(escape(name)) for name in services]
    return lines + ['          </services>']


def every_node(kind):
    return (topics_block('Every node: its log and parameter events.', 'publish',
                         ['/rosout', '/parameter_events'])
            + topics_block('Parameter events, which its clock reads.', 'subscribe',
                           ['/parameter_events'])
            + services_block(
                'The {}\'s parameter services: requests in, replies out.'.format(kind),
                ['~/' + name for name in PARAMETER_SERVICES]))


def node_profile(inputs, infos, image_transports, cloud_transports):
    outputs = list(CLOUDS) + [DEPTH_IMAGE, COLOR_IMAGE]
    subtopics = [cloud + '/' + name for cloud in CLOUDS for name in sorted(cloud_transports)]
    for image, own in ((DEPTH_IMAGE, 'tavrinox_depth'), (COLOR_IMAGE, 'tavrinox_color')):
        subtopics += [image + '/' + name for name in sorted(image_transports + [own])]
    lines = ['        <profile ns="/" node="{}">'.format(NODE)]
    lines += topics_block('The four input images of the configuration.', 'subscribe', inputs)
    lines += topics_block('intrinsics_source:=camera_info: the cameras\' infos.', 'subscribe',
                          infos)
    lines += topics_block('extrinsics_source:=tf: the cameras\' poses.', 'subscribe',
                          ['/tf', '/tf_static'])
    lines += topics_block('use_sim_time:=true: the simulated clock.', 'subscribe', ['/clock'])
    lines += topics_block('The five outputs and the completed depth image\'s camera info.',
                          'publish', outputs + ['/camera_02/depth/camera_info'])
    lines += topics_block('The outputs\' transport subtopics, made while someone listens.',
                          'publish', subtopics)
    lines += topics_block('camera_1_frame, camera_2_frame: the cameras on TF; health.',
                          'publish', ['/tf_static', '/diagnostics'])
    lines += every_node('node')
    return lines + ['        </profile>']


def container_profile(container):
    lines = ['        <profile ns="/" node="{}">'.format(escape(container))]
    lines += services_block('The composed launch file\'s container: loading components.',
                            ['~/' + name for name in CONTAINER_SERVICES])
    lines += every_node('container')
    return lines + ['        </profile>']


def policy_text(arguments, config_name):
    inputs = read_inputs(arguments.config)
    infos = arguments.camera_info_topics or [camera_info_beside(inputs[1]),
                                             camera_info_beside(inputs[3])]
    lines = [
        '<?xml version="1.0" encoding="UTF-8"?>',
        '<!-- The camera convertor\'s SROS2 policy for {}, written by'.format(
            escape(config_name).replace('--', '- -')),
        '     scripts/make_policy.py: run it again for other topic names (doc/secured.md). -->',
        '<policy version="0.2.0">',
        '  <enclaves>',
        '    <enclave path="{}">'.format(escape(arguments.enclave)),
        '      <profiles>',
    ]
    lines += node_profile(inputs, infos, IMAGE_TRANSPORTS + arguments.image_transport,
                          CLOUD_TRANSPORTS + arguments.cloud_transport)
    if arguments.container:
        lines += container_profile(arguments.container)
    lines += ['      </profiles>', '    </enclave>', '  </enclaves>', '</policy>']
    return '\n'.join(lines) + '\n'


def parse(argv):
    parser = argparse.ArgumentParser(description=__doc__.split('\n', 1)[0])
    parser.add_argument('--config', help='camera configuration (YAML) whose topics to grant')
    parser.add_argument('--out', help='file to write; standard output without')
    parser.add_argument('--enclave', default=DEFAULT_ENCLAVE,
                        help='enclave path the policy is for (default %(default)s)')
    parser.add_argument('--container', default=DEFAULT_CONTAINER,
                        help='component container granted too, for the composed launch file; '
                             'empty: none (default %(default)s)')
    parser.add_argument('--camera-info-topics', nargs=2, metavar=('TOPIC_1', 'TOPIC_2'),
                        help='camera_info_topic_1 and _2 when given to the node')
    parser.add_argument('--image-transport', action='append', default=[], metavar='NAME',
                        help='another image_transport plugin installed beside the node')
    parser.add_argument('--cloud-transport', action='append', default=[], metavar='NAME',
                        help='another point_cloud_transport plugin installed beside the node')
    parser.add_argument('--check', metavar='FILE',
                        help='compare FILE with the policy instead of writing it')
    return parser.parse_args(argv)


def main(argv):
    arguments = parse(argv)
    try:
        config_name = arguments.config or 'the package\'s config/camera_config.yaml'
        arguments.config = arguments.config or default_config()
        text = policy_text(arguments, config_name)
    except ConfigError as error:
        print('make_policy.py: {}'.format(error), file=sys.stderr)
        return 2
    if arguments.check:
        with open(arguments.check, encoding='utf-8') as committed:
            old = committed.read()
        if old != text:
            sys.stdout.writelines(difflib.unified_diff(
                old.splitlines(True), text.splitlines(True), arguments.check, 'make_policy.py'))
            print('make_policy.py: {} is not the generator\'s output'.format(arguments.check))
            return 1
        print('make_policy.py: {} is the generator\'s output'.format(arguments.check))
        return 0
    if arguments.out:
        with open(arguments.out, 'w', encoding='utf-8') as out:
            out.write(text)
    else:
        sys.stdout.write(text)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
