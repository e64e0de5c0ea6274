#!/usr/bin/env python3
"""Checks that the shipped programs load on every system they are for: each import is in
tools/imports/allowed.txt, the PE header asks for Windows 4.0, the manifest resource is there.

    check-imports.py ALLOWED EXE...
"""
import re
import subprocess
import sys

OBJDUMP = "i686-w64-mingw32-objdump"


def allowed_imports(path):
    allowed = set()
    for line in open(path, encoding="utf-8"):
        if line.strip() and not line.startswith("#"):
            dll, function = line.split()[:2]
            allowed.add((dll.upper(), function))
    return allowed


def imports_and_header(exe):
    text = subprocess.run([OBJDUMP, "-p", exe], check=True, capture_output=True,
                          text=True).stdout
    imports, dll, header = [], None, {}
    for line in text.splitlines():
        m = re.match(r"\s*DLL Name: (\S+)", line)
        if m:
            dll = m.group(1).upper()
            continue
        m = re.match(r"\t[0-9a-f]+\t +\d+ +(\w+)$", line)
        if m and dll:
            imports.append((dll, m.group(1)))
            continue
        m = re.match(r"(Major|Minor)(SubsystemVersion|OSystemVersion)\s+(\d+)", line)
        if m:
            header[m.group(1) + m.group(2)] = int(m.group(3))
        if line.startswith("The Export Tables") or line.startswith("PE File Base Relocations"):
            dll = None
    return imports, header


def has_manifest(exe):
    # The resource directory: type 24 (manifest), id 1, read with windres.
    text = subprocess.run(["i686-w64-mingw32-windres", "-i", exe, "-O", "rc"], check=True,
                          capture_output=True, text=True, errors="replace").stdout
    return re.search(r"^1 24 ", text, re.M) is not None and "asInvoker" in text


def main():
    allowed = allowed_imports(sys.argv[1])
    failures = 0
    for exe in sys.argv[2:]:
        imports, header = imports_and_header(exe)
        name = exe.rsplit("/", 1)[-1]
        if not imports:
            print(f"{name}: no imports read")
            failures += 1
        for dll, function in imports:
            if (dll, function) not in allowed:
                print(f"{name}: imports {dll} {function}, which is not in the list")
                failures += 1
        want = {"MajorSubsystemVersion": 4, "MinorSubsystemVersion": 0}
        for field, value in want.items():
            if header.get(field) != value:
                print(f"{name}: {field} is {header.get(field)}, want {value}")
                failures += 1
        if not has_manifest(exe):
            print(f"{name}: no application manifest resource")
            failures += 1
        print(f"{name}: {len(imports)} imports checked")
    print("import check:", "failed" if failures else "passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
