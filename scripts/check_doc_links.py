#!/usr/bin/env python3
# Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
"""Checks the relative links and anchors of README.md and doc/*.md.

Every link, image and reference definition outside code must name a file or directory that
exists, and every anchor (`#name`, alone or after a Markdown file) a heading of that file, with
GitHub's heading ids: lower case, punctuation other than '-' and '_' removed, each space a '-',
and a repeated heading numbered -1, -2, ... http(s) and mailto links are not checked.

Usage: check_doc_links.py [REPOSITORY ROOT]. Prints each broken link as file:line and exits 1
when there is one; otherwise prints one line with the count.
"""

import glob
import os
import re
import sys
from urllib.parse import unquote

EXTERNAL = re.compile(r'^(https?:|mailto:)', re.IGNORECASE)
FENCE = re.compile(r'^ {0,3}(`{3,}|~{3,})')
ATX_HEADING = re.compile(r'^ {0,3}#{1,6}(?:[ \t]+(.*?))?(?:[ \t]+#+)?[ \t]*$')
SETEXT_UNDERLINE = re.compile(r'^ {0,3}(=+|-+)[ \t]*$')
# A code span: a run of backticks, closed by a run of the same length; it may span lines.
CODE_SPAN = re.compile(r'(?<!`)(`+)(?!`)(.+?)(?<!`)\1(?!`)', re.DOTALL)
# [text](target "title") and ![alt](target); the text may hold one level of brackets.
INLINE_LINK = re.compile(
    r'!?\[((?:[^\[\]]|\[[^\[\]]*\])*)\]\(\s*(<[^>]*>|[^()\s]*(?:\([^()\s]*\)[^()\s]*)*)'
    r'(?:\s+(?:"[^"]*"|\'[^\']*\'|\([^)]*\)))?\s*\)')
REFERENCE_DEFINITION = re.compile(r'^ {0,3}\[[^\]]+\]:\s*(<[^>]*>|\S+)')
HTML_LINK = re.compile(r'<(?:a|img)\b[^>]*?\b(?:href|src)\s*=\s*["\']([^"\']*)["\']',
                       re.IGNORECASE)
HTML_ANCHOR = re.compile(r'<a\b[^>]*?\b(?:name|id)\s*=\s*["\']([^"\']*)["\']', re.IGNORECASE)


def heading_text(markdown):
    """The text GitHub shows for a heading's Markdown: links and images as their text, code
    and emphasis marks and HTML tags left out."""
    text = CODE_SPAN.sub(lambda match: match.group(2).strip(), markdown)
    text = INLINE_LINK.sub(lambda match: match.group(1), text)
    text = re.sub(r'<[^>]+>', '', text)
    return text.replace('*', '')


def slug(markdown):
    """GitHub's id for a heading, before duplicates are numbered."""
    text = heading_text(markdown).strip().lower()
    text = re.sub(r'[^\w\- ]', '', text)
    return text.replace(' ', '-')


def prose_lines(path):
    """(line number, text) of every line outside fenced code blocks."""
    with open(path, encoding='utf-8') as markdown:
        lines = markdown.read().split('\n')
    fence = None
    for number, line in enumerate(lines, 1):
        opening = FENCE.match(line)
        if fence is None:
            if opening:
                fence = opening.group(1)
                continue
            yield number, line
        elif opening and opening.group(1)[0] == fence[0] and len(opening.group(1)) >= len(fence) \
                and not line.strip()[len(opening.group(1)):].strip():
            fence = None


def anchors(path):
    """The ids a Markdown file's headings and HTML anchors give."""
    ids = set()
    seen = {}

    def add(markdown):
        base = slug(markdown)
        count = seen.get(base, 0)
        seen[base] = count + 1
        ids.add(base if count == 0 else '{}-{}'.format(base, count))

    previous = None
    for _, line in prose_lines(path):
        heading = ATX_HEADING.match(line)
        underline = SETEXT_UNDERLINE.match(line)
        if heading and line.lstrip().startswith('#'):
            add(heading.group(1) or '')
            previous = None
            continue
        if underline and previous is not None:
            add(previous)
            previous = None
            continue
        for name in HTML_ANCHOR.findall(line):
            ids.add(name)
        starts_block = re.match(r'^ {0,3}([-*+>|#]|\d+[.)]\s|$)', line)
        previous = None if starts_block or line.startswith('    ') else line.strip()
    return ids


def blank_code_spans(text):
    """`text` with its code spans blanked out, line breaks kept, so offsets stay."""
    return CODE_SPAN.sub(lambda match: re.sub(r'[^\n]', ' ', match.group(0)), text)


def paragraphs(path):
    """(first line number, text) of every run of non-blank lines outside fenced code."""
    start, lines, last = None, [], None
    for number, line in prose_lines(path):
        if line.strip() and lines and last == number - 1:
            lines.append(line)
        else:
            if lines:
                yield start, '\n'.join(lines)
            start, lines = number, [line] if line.strip() else []
        last = number
    if lines:
        yield start, '\n'.join(lines)


def link_targets(path):
    """(line number, target) of every link of a Markdown file, code left out; a link may span
    lines."""
    for start, paragraph in paragraphs(path):
        text = blank_code_spans(paragraph)
        found = []
        pending = [(0, text)]
        while pending:
            offset, part = pending.pop()
            for match in INLINE_LINK.finditer(part):
                pending.append((offset + match.start(1), match.group(1)))
                found.append((offset + match.start(2), match.group(2)))
            for match in HTML_LINK.finditer(part):
                found.append((offset + match.start(1), match.group(1)))
        line_start = 0
        for line in text.split('\n'):
            definition = REFERENCE_DEFINITION.match(line)
            if definition:
                found.append((line_start + definition.start(1), definition.group(1)))
            line_start += len(line) + 1
        for offset, target in sorted(found):
            yield start + text.count('\n', 0, offset), target


def check_target(root, source, target, anchor_cache):
    """None when `target`, linked from the file `source`, resolves; otherwise why not."""
    if target.startswith('<') and target.endswith('>'):
        target = target[1:-1]
    if not target or EXTERNAL.match(target):
        return None
    path, _, fragment = target.partition('#')
    path = unquote(path)
    if path:
        base = root if path.startswith('/') else os.path.dirname(source)
        resolved = os.path.normpath(os.path.join(base, path.lstrip('/')))
        if os.path.relpath(resolved, root).startswith(os.pardir):
            return 'points outside the repository'
        if not os.path.exists(resolved):
            return 'no such file: {}'.format(os.path.relpath(resolved, root))
    else:
        resolved = source
    if not fragment or not resolved.endswith('.md') or os.path.isdir(resolved):
        return None
    if resolved not in anchor_cache:
        anchor_cache[resolved] = anchors(resolved)
    if unquote(fragment).lower() not in anchor_cache[resolved]:
        return 'no heading #{} in {}'.format(fragment, os.path.relpath(resolved, root))
    return None


def main():
    root = os.path.abspath(
        sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), os.pardir))
    files = [os.path.join(root, 'README.md')]
    files += sorted(glob.glob(os.path.join(root, 'doc', '*.md')))
    files = [path for path in files if os.path.isfile(path)]
    anchor_cache = {}
    checked = 0
    broken = 0
    for source in files:
        for number, target in link_targets(source):
            checked += 1
            problem = check_target(root, source, target, anchor_cache)
            if problem:
                broken += 1
                print('{}:{}: broken link ({}): {}'.format(
                    os.path.relpath(source, root), number, target, problem))
    if broken:
        print('{} of {} links broken in {} files'.format(broken, checked, len(files)))
        return 1
    print('{} links in {} files, none broken'.format(checked, len(files)))
    return 0


if __name__ == '__main__':
    sys.exit(main())
