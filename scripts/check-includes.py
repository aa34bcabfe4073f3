#!/usr/bin/env python3
"""Fails on an include circle among the program's files, or an include that reaches up the layers.

The layers, lowest first. A file may include its own layer and those below it; the ui/ files
stand above the whole core and may include any core file, and windows of their own layer or
below. The store's rooms keep their own order inside data/.
"""
import os, re, sys

LAYERS = ['util', 'dates', 'data', 'print', 'entry', 'services', 'app', 'cli']
ROOMS = ['access', 'engine', 'toolkit', 'schema', 'history', 'link', 'records', 'certificates', 'corrections', 'pedigree', 'transfer',
         'legacy', '']  # '' is data/ itself: the face with the old names
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)


def rank(path):
    """(layer, room, ui) of a path under src/, or None for a file outside the layers."""
    parts = path.split('/')
    if parts[0] not in LAYERS: return None
    ui = 'ui' in parts[1:] or parts[0] == 'app'  # the program's windows
    room = ''
    if parts[0] == 'data' and len(parts) > 2 and parts[1] in ROOMS: room = parts[1]
    return LAYERS.index(parts[0]), ROOMS.index(room) if parts[0] == 'data' else 0, ui


def main(src):
    graph, problems = {}, []
    for folder, _, names in os.walk(src):
        for name in names:
            if not name.endswith(('.h', '.cpp')): continue
            full = os.path.join(folder, name)
            rel = os.path.relpath(full, src).replace(os.sep, '/')
            with open(full, encoding='utf-8') as f:
                graph[rel] = [i for i in INCLUDE.findall(f.read()) if os.path.isfile(os.path.join(src, i))]
    for f, includes in sorted(graph.items()):
        rf = rank(f)
        for i in includes:
            ri = rank(i)
            if rf is None or ri is None: continue
            (lf, mf, uf), (li, mi, ui) = rf, ri
            # The windows stand on the whole core: a ui/ file may include any core file.
            if ui and not uf or (ui == uf and (li > lf or (li == lf and mi > mf))):
                problems.append(f'{f} includes {i}, a layer above it')
    # Circles among modules (a header and its .cpp are one), one depth-first walk.
    modules = {}
    for f, includes in graph.items():
        modules.setdefault(os.path.splitext(f)[0], set()).update(os.path.splitext(i)[0] for i in includes)
    for m in modules: modules[m].discard(m)
    graph = {m: sorted(d) for m, d in modules.items()}
    state, stack = {}, []

    def walk(n):
        state[n] = 1
        stack.append(n)
        for m in graph.get(n, []):
            if state.get(m) == 1:
                problems.append('include circle: ' + ' -> '.join(stack[stack.index(m):] + [m]))
            elif m not in state:
                walk(m)
        stack.pop()
        state[n] = 2

    for n in sorted(graph):
        if n not in state: walk(n)
    for p in problems: print(p)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else 'src'))
