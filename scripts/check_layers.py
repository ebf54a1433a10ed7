#!/usr/bin/env python3
"""Checks that the folders depend one way only (see ARCHITECTURE.md).

Reads the targets, their sources and their link dependencies from CMake's
file API reply in a configured build folder, then fails when
  - a folder includes a header of a folder above it in the order,
  - a file includes a project header whose library its target does not link,
  - a core library (qv_base, qv_*_core) includes a QtWidgets, QtPrintSupport
    or QCustomPlot header, or a Qt module header its target does not link,
  - a source file of a folder belongs to no target.
Usage: check_layers.py BUILD_DIR
"""
import json
import os
import re
import sys

ORDER = ["base", "data", "ui", "graph", "flights", "device", "annot", "browser", "logbook", "app"]
TOP = ["tools", "tests", "bench"]  # may use every folder
NEVER_IN_CORE = ("QtWidgets", "QtPrintSupport")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def load_codemodel(build):
    reply = os.path.join(build, ".cmake", "api", "v1", "reply")
    if not os.path.isdir(reply):
        sys.exit(f"check_layers: no file API reply in {reply}; configure with scripts/quorvel.sh first")
    index = sorted(f for f in os.listdir(reply) if f.startswith("index-"))[-1]
    with open(os.path.join(reply, index)) as f:
        idx = json.load(f)
    cm_file = next(o["jsonFile"] for o in idx["objects"] if o["kind"] == "codemodel")
    with open(os.path.join(reply, cm_file)) as f:
        cm = json.load(f)
    source_root = cm["paths"]["source"]
    targets = {}
    for t in cm["configurations"][0]["targets"]:
        with open(os.path.join(reply, t["jsonFile"])) as f:
            targets[t["id"]] = json.load(f)
    return source_root, targets


def qt_module_dirs(targets):
    """Qt include folders (module name -> path) seen in any target."""
    dirs = {}
    for t in targets.values():
        for g in t.get("compileGroups", []):
            for inc in g.get("includes", []):
                p = inc["path"]
                base = os.path.basename(p)
                if base.startswith("Qt") and os.path.isdir(p):
                    dirs[base] = p
    return dirs


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    source_root, targets = load_codemodel(sys.argv[1])
    by_name = {t["name"]: tid for tid, t in targets.items()}
    owner = {}  # project-relative file -> set of target ids
    for tid, t in targets.items():
        for s in t.get("sources", []):
            path = s["path"]
            if os.path.isabs(path) or path.startswith(".."):
                continue
            owner.setdefault(path, set()).add(tid)

    def closure(tid):
        seen, todo = set(), [tid]
        while todo:
            cur = todo.pop()
            if cur in seen:
                continue
            seen.add(cur)
            todo.extend(d["id"] for d in targets[cur].get("dependencies", []))
        return seen

    qt_dirs = qt_module_dirs(targets)
    qt_header_module = {}
    for mod, d in qt_dirs.items():
        for name in os.listdir(d):
            qt_header_module.setdefault(name, mod)

    errors = []
    for folder in ORDER:
        for dirpath, _, files in os.walk(os.path.join(source_root, folder)):
            for fn in files:
                if fn.endswith((".cpp", ".h")):
                    rel = os.path.relpath(os.path.join(dirpath, fn), source_root)
                    if rel not in owner:
                        errors.append(f"{rel}: belongs to no target")

    for rel, tids in sorted(owner.items()):
        folder = rel.split("/")[0]
        if folder not in ORDER + TOP:
            continue
        with open(os.path.join(source_root, rel), encoding="utf-8", errors="replace") as f:
            text = f.read()
        for tid in tids:
            t = targets[tid]
            name = t["name"]
            reach = closure(tid)
            is_core = name == "qv_base" or name.endswith("_core")
            inc_paths = {i["path"] for g in t.get("compileGroups", []) for i in g.get("includes", [])}
            for m in INCLUDE.finditer(text):
                quote, header = m.group(1), m.group(2)
                line = text.count("\n", 0, m.start()) + 1
                where = f"{rel}:{line} ({name})"
                top = header.split("/")[0]
                if quote == '"' and top in ORDER:
                    if folder in ORDER and ORDER.index(top) > ORDER.index(folder):
                        errors.append(f"{where}: {folder}/ may not include {header} (folder above it)")
                        continue
                    holders = owner.get(header, set())
                    if not holders:
                        errors.append(f"{where}: {header} belongs to no target")
                    elif not holders & reach:
                        libs = ", ".join(sorted(targets[h]["name"] for h in holders))
                        errors.append(f"{where}: includes {header} but does not link {libs}")
                    continue
                if not is_core:
                    continue
                if "qcustomplot" in header.lower():
                    errors.append(f"{where}: core library includes the chart ({header})")
                    continue
                mod = top if top.startswith("Qt") and "/" in header else qt_header_module.get(header)
                if not mod or mod == "QtCore":
                    continue
                if mod in NEVER_IN_CORE:
                    errors.append(f"{where}: core library includes {mod} header {header}")
                elif mod in qt_dirs and qt_dirs[mod] not in inc_paths:
                    errors.append(f"{where}: includes {mod} header {header} without linking Qt6::{mod[2:]}")

    if errors:
        print("Layering check failed (see ARCHITECTURE.md):")
        for e in sorted(set(errors)):
            print("  " + e)
        return 1
    print(f"Layering check passed: {len(owner)} files in {len(by_name)} targets.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
