#!/usr/bin/env python3
"""The include graph of src/ by folder: an arrow from folder A to folder B
for every #include "B/..." in a file under A (service subfolders count as
src/service). Prints one line per arrow with the number of includes, then
the arrows that point upward against the layer order of the layout, and
with --dot the graph in Graphviz's dot language.

    bench/include_graph.py [--root src] [--dot]
"""

import argparse
import collections
import os
import re

# Top to bottom; an arrow may point from a folder to any folder below it.
ORDER = ["app", "server", "pipeline", "session", "capture", "track", "console", "compose",
         "service", "transport", "util", "platform"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/')


def folder_of(root, path):
    return os.path.relpath(path, root).split(os.sep)[0]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default="src")
    parser.add_argument("--dot", action="store_true")
    args = parser.parse_args()
    arrows = collections.Counter()
    for directory, _, files in os.walk(args.root):
        for name in files:
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.join(directory, name)
            source = folder_of(args.root, path)
            with open(path, encoding="utf-8", errors="replace") as stream:
                for line in stream:
                    match = INCLUDE.match(line)
                    if match and match.group(1) != source:
                        arrows[(source, match.group(1))] += 1
    for (source, target), count in sorted(arrows.items()):
        print("%-10s -> %-10s %4d" % (source, target, count))
    rank = {name: index for index, name in enumerate(ORDER)}
    upward = [(s, t) for (s, t) in arrows if rank.get(s, 99) > rank.get(t, 99)]
    print("arrows: %d; pointing up: %s" % (len(arrows), ", ".join("%s -> %s" % a for a in sorted(upward)) or "none"))
    if args.dot:
        print("digraph korvane {")
        for (source, target), count in sorted(arrows.items()):
            print('  "%s" -> "%s" [label=%d];' % (source, target, count))
        print("}")


if __name__ == "__main__":
    main()
