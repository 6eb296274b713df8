#!/usr/bin/env python3
"""The mutant list's reader and the text work of scripts/mutants.sh.

  mutants.py list LIST                  name, file and rule of every mutant
  mutants.py names LIST [NAME ...]      the names to run, in list order (all when none given)
  mutants.py field LIST NAME KEY        one field of one mutant
  mutants.py apply LIST NAME TREE       puts the mutant into TREE/file; exit 3 when STALE
  mutants.py sync SOURCE TREE           copies the files named on stdin (NUL-separated) from
                                        SOURCE to TREE where they differ, removes the others

A file that sync finds unchanged keeps its time, so the build redoes only what changed; one it
writes gets the present time, so a build never takes it for older than its object.
"""

import os
import shutil
import sys

FIELDS = ("name", "rule", "file", "find", "put", "tests")
REQUIRED = ("name", "rule", "file", "find", "put")
STALE = 3


def fail(text):
    sys.stderr.write("mutants: " + text + "\n")
    sys.exit(2)


def read_list(path):
    """Blocks of 'key: value' lines, apart by blank lines; '#' starts a comment line."""
    mutants, block, line_no = [], {}, 0
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    for line_no, line in enumerate(lines + [""], start=1):
        if line.startswith("#"):
            continue
        if not line.strip():
            if block:
                missing = [k for k in REQUIRED if k not in block]
                if missing:
                    fail("%s: the mutant ending on line %d has no %s" % (path, line_no, ", ".join(missing)))
                mutants.append(block)
                block = {}
            continue
        key, sep, value = line.partition(": ")
        if not sep or key not in FIELDS:
            fail("%s:%d: expected one of %s, then ': '" % (path, line_no, ", ".join(FIELDS)))
        if key in block:
            fail("%s:%d: a second %s in one mutant" % (path, line_no, key))
        block[key] = value  # everything after ': ', spaces included
    seen = set()
    for m in mutants:
        if m["name"] in seen:
            fail("%s: two mutants are named %s" % (path, m["name"]))
        seen.add(m["name"])
    return mutants


def find(mutants, name):
    for m in mutants:
        if m["name"] == name:
            return m
    fail("no mutant is named %s (see --list)" % name)


def holders(tree, snippet):
    """The sources of the tree that hold snippet exactly once: where a moved text went."""
    found = []
    for root, dirs, files in os.walk(tree):
        dirs[:] = sorted(d for d in dirs if not (root == tree and d in ("build", ".git")))
        for file in sorted(files):
            if file.endswith((".cpp", ".h")):
                path = os.path.join(root, file)
                with open(path, encoding="utf-8", errors="replace") as f:
                    if f.read().count(snippet) == 1:
                        found.append(os.path.relpath(path, tree))
    return found


def apply(m, tree):
    path = os.path.join(tree, m["file"])
    text = None
    if os.path.isfile(path):
        with open(path, encoding="utf-8") as f:
            text = f.read()
    count = text.count(m["find"]) if text is not None else 0
    if count != 1:
        where = "%s does not exist" % m["file"] if text is None else \
                "the original text occurs %d times in %s" % (count, m["file"])
        moved = holders(tree, m["find"]) if count == 0 else []
        print(where + ("; it is now once in " + ", ".join(moved) if moved else ""))
        return STALE
    with open(path, "w", encoding="utf-8") as f:
        f.write(text.replace(m["find"], m["put"]))
    return 0


def sync(source, tree):
    names = [n for n in sys.stdin.buffer.read().decode().split("\0") if n]
    wanted = set(names)
    for name in names:
        src, dst = os.path.join(source, name), os.path.join(tree, name)
        if not os.path.isfile(src):
            continue  # deleted in the worktree but not yet in git
        with open(src, "rb") as f:
            data = f.read()
        if os.path.isfile(dst):
            with open(dst, "rb") as f:
                if f.read() == data:
                    continue
        os.makedirs(os.path.dirname(dst), exist_ok=True)
        with open(dst, "wb") as f:
            f.write(data)
        shutil.copymode(src, dst)
    build = os.path.join(tree, "build")
    for root, dirs, files in os.walk(tree):
        if root == tree:
            dirs[:] = [d for d in dirs if os.path.join(root, d) != build]
        for file in files:
            rel = os.path.relpath(os.path.join(root, file), tree)
            if rel not in wanted:
                os.remove(os.path.join(root, file))


def main(argv):
    if len(argv) < 3:
        fail(__doc__)
    command, target = argv[1], argv[2]
    if command == "sync":
        sync(target, argv[3])
        return 0
    mutants = read_list(target)
    if command == "list":
        width = max(len(m["name"]) for m in mutants)
        for m in mutants:
            print("%-*s  %-30s %s" % (width, m["name"], m["file"], m["rule"]))
    elif command == "names":
        chosen = argv[3:]
        for name in chosen:
            find(mutants, name)
        for m in mutants:
            if not chosen or m["name"] in chosen:
                print(m["name"])
    elif command == "field":
        print(find(mutants, argv[3]).get(argv[4], ""))
    elif command == "apply":
        return apply(find(mutants, argv[3]), argv[4])
    else:
        fail("unknown command " + command)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
