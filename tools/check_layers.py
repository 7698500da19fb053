#!/usr/bin/env python3
"""Checks that every #include "folder/..." in the code runs down the layers.

The layers are read from the README's Layout section, lines of the form
"layer N  folder folder ...". A folder may include its own headers and those
of folders on lower layers; folders on one layer never include each other,
and nothing includes a folder on a higher layer.

usage: check_layers.py README ROOT [ROOT ...]
Each ROOT is a folder whose subfolders are the layers' folders (src/) or a
layer's folder itself (app/). Exits 1 and names every offending include.
"""
import pathlib
import re
import sys

LAYER_LINE = re.compile(r"^\s*layer\s+(\d+)\s+(.+?)\s*$")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([A-Za-z0-9_]+)/')
SOURCES = {".h", ".hpp", ".cpp"}


def read_layers(readme):
    layers = {}
    in_layout = False
    for line in pathlib.Path(readme).read_text(encoding="utf-8").splitlines():
        if line.startswith("## "):
            in_layout = line.strip() == "## Layout"
            continue
        match = LAYER_LINE.match(line) if in_layout else None
        if match:
            for folder in match.group(2).split():
                layers[folder] = int(match.group(1))
    return layers


def folder_of(path, root, layers):
    """The layer folder a source file belongs to, or None."""
    if root.name in layers:
        return root.name
    relative = path.relative_to(root).parts
    return relative[0] if len(relative) > 1 and relative[0] in layers else None


def main(argv):
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    layers = read_layers(argv[1])
    if not layers:
        print(f"{argv[1]}: no 'layer N folder...' lines in its Layout section", file=sys.stderr)
        return 2
    faults = []
    checked = 0
    for root in map(pathlib.Path, argv[2:]):
        for path in sorted(root.rglob("*")):
            if path.suffix not in SOURCES:
                continue
            owner = folder_of(path, root, layers)
            if owner is None:
                faults.append(f"{path}: its folder is on no layer of the README's Layout")
                continue
            checked += 1
            for number, line in enumerate(path.read_text(encoding="utf-8", errors="replace").splitlines(), 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                target = match.group(1)
                if target == owner:
                    continue
                if target not in layers:
                    faults.append(f"{path}:{number}: includes {target}/, which is on no layer")
                elif layers[target] >= layers[owner]:
                    where = "the same layer" if layers[target] == layers[owner] else "a higher layer"
                    faults.append(f"{path}:{number}: {owner}/ (layer {layers[owner]}) includes {target}/ "
                                  f"(layer {layers[target]}), {where}")
    for fault in faults:
        print(fault)
    print(f"{checked} files checked against {len(layers)} folders: {len(faults)} against the layer order")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
