#!/usr/bin/env python3
"""Checks that the source tree keeps the shape the README gives it.

- No folder of framework/, platform/ or game/ holds more than 30 .cpp/.h files.
- Every folder of the README's tree exists, and every folder of framework/,
  platform/, game/ and tools/ that holds sources is in the tree.
- A lower layer never includes a higher one: the layers are listed below,
  lowest first; a folder may include its own layer and those beneath it.
"""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MAX_FILES = 30

# Lowest first. A folder not named falls in the layer of its closest parent.
LAYERS = {
    'framework': [
        ['framework/core', 'framework/include'],
        ['framework/files', 'framework/window'],
        ['framework/input', 'framework/sound', 'framework/net'],
        # The software renderer reads only the software image and its colour
        # format (graphics/image).
        ['framework/graphics/image/color_format.h', 'framework/graphics/image/graph_image.h'],
        ['framework/softrender', 'framework/graphics/image/memimg.h'],
        ['framework/graphics'],
        ['framework/api'],
    ],
    'game': [
        ['game/engine'],
        ['game/rules'],
        ['game/world'],
        ['game/screens'],
        ['game/field'],
        ['game/front'],
    ],
    'platform': [
        ['platform/include', 'platform/kernel'],
        ['platform'],
    ],
}


def sources(folder):
    return [f for f in os.listdir(folder) if f.endswith(('.cpp', '.h', '.c'))]


def layer_of(path, layers):
    best, best_len = None, -1
    for i, names in enumerate(layers):
        for name in names:
            if (path == name or path.startswith(name + '/')) and len(name) > best_len:
                best, best_len = i, len(name)
    return best


def readme_folders():
    text = open(os.path.join(ROOT, 'README.md'), encoding='utf-8').read()
    section = text.split('## Layout', 1)[1].split('\n## ', 1)[0]
    stack, found = [], []
    for line in section.split('\n'):
        m = re.match(r'^    ( *)([A-Za-z0-9_./<>-]+/)(\s|$)', line)
        if not m:
            continue
        depth = len(m.group(1)) // 2
        name = m.group(2).rstrip('/')
        stack = stack[:depth] + [name]
        found.append('/'.join(stack))
    return found


def main():
    problems = []
    for top in ('framework', 'platform', 'game'):
        for folder, _, _ in os.walk(os.path.join(ROOT, top)):
            n = len(sources(folder))
            if n > MAX_FILES:
                problems.append('%s holds %d source files (at most %d)' % (os.path.relpath(folder, ROOT), n, MAX_FILES))

    listed = set(readme_folders())
    for folder in listed:
        if '<' not in folder and not os.path.isdir(os.path.join(ROOT, folder)):
            problems.append('the README names %s/, which does not exist' % folder)
    for top in ('framework', 'platform', 'game', 'tools'):
        for folder, _, _ in os.walk(os.path.join(ROOT, top)):
            rel = os.path.relpath(folder, ROOT)
            if sources(folder) and rel not in listed and rel != top:
                problems.append('%s/ holds sources but is not in the README\'s tree' % rel)

    for top, layers in LAYERS.items():
        include_root = top
        for folder, _, files in os.walk(os.path.join(ROOT, top)):
            for f in files:
                if not f.endswith(('.cpp', '.h', '.c')):
                    continue
                path = os.path.relpath(os.path.join(folder, f), ROOT)
                here = layer_of(path, layers)
                text = open(os.path.join(ROOT, path), encoding='utf-8', errors='replace').read()
                for inc in re.findall(r'#include "([^"]+)"', text):
                    target = None
                    for base in (include_root, top + '/include', 'platform/include'):
                        candidate = os.path.join(base, inc)
                        if os.path.exists(os.path.join(ROOT, candidate)):
                            target = os.path.normpath(candidate)
                            break
                    if target is None or not target.startswith(top + '/'):
                        continue
                    there = layer_of(target, layers)
                    if here is not None and there is not None and there > here:
                        problems.append('%s includes %s, a higher layer' % (path, target))

    for p in problems:
        print(p)
    if problems:
        return 1
    print('layout: %d folders in the README, none over %d files, no include runs upward' % (len(listed), MAX_FILES))
    return 0


if __name__ == '__main__':
    sys.exit(main())
