#!/usr/bin/env python3
"""Checks the release archive.

    check_release.py pack ROOT PROGRAM_DIR WORK
        Packs the archive twice from the programs the system tests run (PROGRAM_DIR, i.e.
        build/win32) and wants the same bytes; then looks into it: 8.3 names in their order,
        one date, the programs byte for byte those of PROGRAM_DIR, README.TXT in code page 932
        with CR LF only, naming every system-menu item and dialog caption as the program shows
        it and quoting in 「」 only texts the program has, and the checksum file right.
    check_release.py rebuild ROOT PROGRAM_DIR WORK
        Runs scripts/release.sh into WORK (a clean build of the shipped programs in another
        folder) and wants the archive it writes to be byte for byte the one packed from
        PROGRAM_DIR: the build is reproducible, and the release holds what the tests ran.
"""
import hashlib
import io
import os
import re
import shutil
import subprocess
import sys
import zipfile
from pathlib import Path

ORDER = ["KAVREL.EXE", "KVREQ.EXE", "README.TXT", "SHA256.TXT"]
NAME_8_3 = re.compile(r"^[A-Z0-9_-]{1,8}(\.[A-Z0-9_-]{1,3})?$")
# Where the program's texts are: its resources and the sources of both programs.
TEXT_DIRS = ["res", "base", "app", "settings", "capture", "print", "files", "tools/kvreq"]
LITERAL = re.compile(r'"((?:[^"\\\n]|\\.)*)"')

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
    return ok


def source_files(root):
    for d in TEXT_DIRS:
        folder = root / d
        if folder.is_dir():
            yield from sorted(p for p in folder.rglob("*")
                              if p.suffix in (".cpp", ".h", ".rc") and p.is_file())


def literals(text):
    out = []
    for m in LITERAL.finditer(text):
        out.extend(m.group(1).replace('\\"', '"').replace("\\\\", "\\").split("\\n"))
    return out


def shown(item):
    """A menu or dialog text as the system draws it: "&X" underlines X, "&&" is "&"."""
    return re.sub(r"&(.)", r"\1", item)


def menu_items(root):
    """The system-menu items, from the one table the program appends them from."""
    found = []
    for path in source_files(root):
        text = path.read_text(encoding="utf-8")
        m = re.search(r"SYSTEM_MENU_ITEMS\[\]\s*=\s*\{(.*?)\n\};", text, re.S)
        if m:
            found.append((path, [shown(t) for t in literals(m.group(1))]))
    check(len(found) == 1, f"one SYSTEM_MENU_ITEMS table in the sources, found {len(found)}: "
                           f"{[str(p) for p, _ in found]}")
    return found[0][1] if found else []


def dialog_captions(root):
    captions = []
    for path in (root / "res").glob("*.rc"):
        captions += re.findall(r'^CAPTION\s+"([^"]*)"', path.read_text(encoding="utf-8"), re.M)
    return captions


def program_texts(root):
    texts = set()
    for path in source_files(root):
        for t in literals(path.read_text(encoding="utf-8")):
            texts.add(t)
            texts.add(shown(t))
    return texts


def check_readme(root, data):
    try:
        text = data.decode("cp932")
    except UnicodeDecodeError as e:
        check(False, f"README.TXT is not code page 932 at byte {e.start}")
        return
    check(data.endswith(b"\r\n"), "README.TXT ends with CR LF")
    check(b"\n" not in data.replace(b"\r\n", b"") and b"\r" not in data.replace(b"\r\n", b""),
          "README.TXT has CR LF line ends only")
    quoted = set(re.findall(r"「([^」\r\n]+)」", text))
    items = menu_items(root)
    check(len(items) >= 8, f"the system menu's items read from the sources: {items}")
    for item in items:
        check(item in quoted, f"README.TXT names the menu item 「{item}」")
    for caption in dialog_captions(root):
        check(caption in quoted, f"README.TXT names the dialog 「{caption}」")
    dde_names = [n for path in source_files(root) for n in
                 re.findall(r'^const char DDE_(?:SERVICE|TOPIC|\w+_COMMAND)\[\] = "([^"]*)";',
                            path.read_text(encoding="utf-8"), re.M)]
    check(len(dde_names) == 4, f"service, topic and two commands of DDE: {dde_names}")
    for name in dde_names:
        check(name in text, f"README.TXT gives the DDE name {name}")
    texts = program_texts(root)
    for q in sorted(quoted):
        check(any(q in t for t in texts), f"「{q}」 in README.TXT is no text of the program")


def check_archive(root, program_dir, archive):
    with zipfile.ZipFile(archive) as z:
        infos = z.infolist()
        names = [i.filename for i in infos]
        check(names == ORDER, f"the archive holds {ORDER} in that order, not {names}")
        check(all(NAME_8_3.match(n) for n in names), f"8.3 names: {names}")
        check(len({i.date_time for i in infos}) == 1, "one date for every entry")
        check(all(i.create_system == 0 and i.external_attr == 0x20 for i in infos),
              "MS-DOS attributes on every entry")
        check(z.testzip() is None, "the archive's CRCs hold")
        data = {n: z.read(n) for n in names}
    for name in ("KAVREL.EXE", "KVREQ.EXE"):
        check(data.get(name) == (program_dir / name).read_bytes(),
              f"the packed {name} is the one in {program_dir}")
    if "README.TXT" in data:
        check_readme(root, data["README.TXT"])
    sums = data.get("SHA256.TXT", b"")
    expected = b"".join(f"{hashlib.sha256(data[n]).hexdigest()}  {n}\r\n".encode()
                        for n in ORDER[:3] if n in data)
    check(sums == expected, f"SHA256.TXT lists the other three:\n{sums!r}\n{expected!r}")
    return data


def pack(root, program_dir, out):
    subprocess.run([sys.executable, str(root / "scripts" / "make-release.py"), str(program_dir),
                    str(root), str(out)], check=True)
    return out.read_bytes()


def main(argv):
    if len(argv) != 5 or argv[1] not in ("pack", "rebuild"):
        raise SystemExit(__doc__)
    mode, root, program_dir, work = argv[1], Path(argv[2]), Path(argv[3]), Path(argv[4])
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    packed = pack(root, program_dir, work / "first.zip")

    if mode == "pack":
        check(pack(root, program_dir, work / "second.zip") == packed,
              "two packings of the same programs give the same bytes")
        data = check_archive(root, program_dir, work / "first.zip")
        # What a user does after unpacking.
        unpacked = work / "unpacked"
        unpacked.mkdir()
        for name, content in data.items():
            (unpacked / name).write_bytes(content)
        if shutil.which("sha256sum"):
            done = subprocess.run(["sha256sum", "-c", "SHA256.TXT"], cwd=unpacked,
                                  capture_output=True, text=True)
            check(done.returncode == 0, f"sha256sum -c SHA256.TXT: {done.stdout}{done.stderr}")
    else:
        env = dict(os.environ, KAVREL_RELEASE_BUILD_DIR=str(work / "build"),
                   KAVREL_DIST_DIR=str(work / "dist"))
        done = subprocess.run([str(root / "scripts" / "release.sh")], env=env,
                              capture_output=True, text=True)
        sys.stdout.write(done.stdout)
        if check(done.returncode == 0, f"release.sh failed:\n{done.stderr}"):
            archives = sorted((work / "dist").glob("Kavrel-DUX-*.zip"))
            check(len(archives) == 1, f"one archive in dist: {archives}")
            released = archives[0].read_bytes() if archives else b""
            digest = hashlib.sha256(released).hexdigest()
            check(str(archives[0]) in done.stdout and digest in done.stdout
                  and f"{len(released)} bytes" in done.stdout,
                  "release.sh prints the archive's path, hash and size")
            if not check(released == packed, "the release build's archive is byte for byte the "
                                             "one packed from the programs the tests ran"):
                for name in ("KAVREL.EXE", "KVREQ.EXE"):
                    a = (work / "build" / "win32" / name).read_bytes()
                    b = (program_dir / name).read_bytes()
                    diff = [i for i in range(min(len(a), len(b))) if a[i] != b[i]]
                    print(f"{name}: sizes {len(a)} and {len(b)}, {len(diff)} bytes differ, "
                          f"first at {[hex(i) for i in diff[:8]]}")

    for f in failures:
        print("FAILED:", f)
    if not failures:
        print(f"release {mode}: all checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
