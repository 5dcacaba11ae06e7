#!/usr/bin/env python3
"""Checks that the project's libraries depend one way.

Configures the project afresh in a temporary folder, with the options of the build folder it
is given (which it leaves untouched), reads the graph `cmake --graphviz` writes and fails when
two project libraries (targets named sp_*) reach each other, printing the cycle. With
--print, also prints each project library and the project libraries it links directly.

    tools/checks/library_graph.py <build dir> [--print]
"""
import os
import re
import subprocess
import sys
import tempfile


def read_graph(build_dir):
    source, options = read_cache(build_dir)
    with tempfile.TemporaryDirectory() as tmp:
        dot = os.path.join(tmp, "graph.dot")
        subprocess.run(["cmake", "-S", source, "-B", os.path.join(tmp, "build"), *options,
                        f"--graphviz={dot}"], check=True, stdout=subprocess.DEVNULL)
        text = open(dot, encoding="utf-8").read()
    names = {}
    for node, label in re.findall(r'^\s*"?(node\d+)"?\s*\[\s*label\s*=\s*"([^"]+)"', text, re.M):
        names[node] = label
    edges = {}
    for a, b in re.findall(r'^\s*"?(node\d+)"?\s*->\s*"?(node\d+)"?', text, re.M):
        edges.setdefault(names[a], set()).add(names[b])
    return names.values(), edges


def read_cache(build_dir):
    """The source folder and the -D options (build type, the project's SP_* options) of a build."""
    cache = os.path.join(build_dir, "CMakeCache.txt")
    source, options = None, []
    for line in open(cache, encoding="utf-8"):
        entry = re.match(r"^([A-Za-z_][A-Za-z0-9_]*):([A-Z]+)=(.*)$", line.rstrip("\n"))
        if not entry:
            continue
        name, kind, value = entry.groups()
        if name == "CMAKE_HOME_DIRECTORY":
            source = value
        elif name == "CMAKE_BUILD_TYPE" or (name.startswith("SP_") and kind in ("BOOL", "STRING")):
            options.append(f"-D{name}:{kind}={value}")
    if not source:
        sys.exit(f"{cache}: no CMAKE_HOME_DIRECTORY")
    return source, options


def find_cycle(nodes, edges):
    state = {}  # 1 on the path, 2 done
    path = []

    def visit(n):
        state[n] = 1
        path.append(n)
        for m in sorted(edges.get(n, ())):
            if state.get(m) == 1:
                return path[path.index(m):] + [m]
            if m not in state:
                found = visit(m)
                if found:
                    return found
        path.pop()
        state[n] = 2
        return None

    for n in sorted(nodes):
        if n not in state:
            found = visit(n)
            if found:
                return found
    return None


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    nodes, edges = read_graph(sys.argv[1])
    project = {n for n in nodes if n.startswith("sp_") or n == "SpectraPoise"}
    own = {n: {m for m in edges.get(n, ()) if m in project} for n in project}
    if "--print" in sys.argv[2:]:
        for n in sorted(project):
            print(f"{n} -> {' '.join(sorted(own[n])) or '-'}")
    cycle = find_cycle(project, own)
    if cycle:
        print("library cycle: " + " -> ".join(cycle), file=sys.stderr)
        return 1
    print(f"library graph: {len(project)} project libraries, no cycle")
    return 0


if __name__ == "__main__":
    sys.exit(main())
