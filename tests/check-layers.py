#!/usr/bin/python3
"""The program's folders stand on the ones below them, never on the ones above,
and every source file says what it holds (no unit names).

    check-layers.py SOURCE_DIR
"""
import pathlib
import re
import sys

# Lowest first.
LAYERS = ["platform", "speech", "data", "accounts", "game", "app"]
INCLUDE = re.compile(r'^[ \t]*#[ \t]*include[ \t]+"([a-z]+)/[^"]+"', re.M)
UNIT_NAME = re.compile(r"^(u[A-Z]|[Uu]nit)|Unit$")


def main(root: pathlib.Path) -> int:
    faults = []
    for rank, layer in enumerate(LAYERS):
        for path in sorted((root / layer).rglob("*")):
            if path.suffix not in (".h", ".cpp", ".in"):
                continue
            rel = path.relative_to(root)
            if UNIT_NAME.search(path.stem):
                faults.append(f"{rel}: named after a unit, not after what it holds")
            text = path.read_text(encoding="utf-8")
            for m in INCLUDE.finditer(text):
                folder = m.group(1)
                if folder in LAYERS and LAYERS.index(folder) > rank:
                    line = text.count("\n", 0, m.start()) + 1
                    faults.append(f"{rel}:{line}: {layer}/ includes {folder}/, a folder above it")
    for f in faults:
        print(f)
    print(f"{len(faults)} fault(s) in the layout")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(pathlib.Path(sys.argv[1])))
