#!/usr/bin/env python3
"""Packs the release archive from the built programs and the Japanese read-me.

    make-release.py PROGRAM_DIR SOURCE_ROOT ARCHIVE

The archive holds KAVREL.EXE, KVREQ.EXE, README.TXT and SHA256.TXT in that order, each
with the same date and the same MS-DOS attributes, stored without compression, so the same
inputs always give the same bytes whatever zlib the machine has. README.TXT is the UTF-8
source in code page 932 with CR LF line ends, as Notepad on every system the program is for
shows it; SHA256.TXT (CR LF too) is what `sha256sum -c SHA256.TXT` reads. The date
is that of the checkout's commit (SOURCE_DATE_EPOCH, where set, instead).
"""
import hashlib
import os
import subprocess
import sys
import time
import zipfile
from pathlib import Path

PROGRAMS = ("KAVREL.EXE", "KVREQ.EXE")
README = "README.TXT"
README_SOURCE = "docs/readme-ja.txt"
# Every name 8.3: the unzippers of MS-DOS and Windows 3.x, still used on the oldest systems,
# cut longer ones.
SUMS = "SHA256.TXT"
# Notepad of Windows 95 and NT 3.51 wraps nothing by default: a line longer than this runs
# off the window. In code page 932 a byte is a column (a double-byte character is two).
README_COLUMNS = 78
ATTRIBUTE_ARCHIVE = 0x20  # what MS-DOS and Windows archivers set


def readme_bytes(source: Path) -> bytes:
    text = source.read_text(encoding="utf-8")
    if "\r" in text or "\t" in text:
        raise SystemExit(f"{source}: carriage returns or tabs in the source")
    if not text.endswith("\n"):
        text += "\n"
    lines = text.split("\n")[:-1]
    encoded = []
    for number, line in enumerate(lines, 1):
        try:
            data = line.rstrip(" ").encode("cp932")
        except UnicodeEncodeError as e:
            raise SystemExit(f"{source}:{number}: {line[e.start:e.end]!r} has no code page 932 form")
        if len(data) > README_COLUMNS:
            raise SystemExit(f"{source}:{number}: {len(data)} columns, more than {README_COLUMNS}")
        encoded.append(data)
    return b"".join(line + b"\r\n" for line in encoded)


def entry(name: str, date: tuple) -> zipfile.ZipInfo:
    info = zipfile.ZipInfo(name, date_time=date)
    info.create_system = 0  # MS-DOS: the attributes below are DOS attributes
    info.external_attr = ATTRIBUTE_ARCHIVE
    info.compress_type = zipfile.ZIP_STORED
    return info


def release_epoch(root: Path) -> int:
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    done = subprocess.run(["git", "-C", str(root), "log", "-1", "--format=%ct"],
                          capture_output=True, text=True)
    if done.returncode != 0 or not done.stdout.strip():
        raise SystemExit(f"no commit date in {root} ({done.stderr.strip()}): "
                         "set SOURCE_DATE_EPOCH")
    return int(done.stdout)


def main(argv):
    if len(argv) != 4:
        raise SystemExit("usage: " + __doc__.strip().splitlines()[2].strip())
    program_dir, root, archive = Path(argv[1]), Path(argv[2]), Path(argv[3])
    epoch = release_epoch(root)
    readme_source = root / README_SOURCE

    # ZIP keeps local time in two-second steps from 1980: the date in UTC, the seconds even.
    t = time.gmtime(max(epoch, 315532800))
    date = (t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec - t.tm_sec % 2)

    files = [(name, (program_dir / name).read_bytes()) for name in PROGRAMS]
    files.append((README, readme_bytes(readme_source)))
    sums = b"".join(f"{hashlib.sha256(data).hexdigest()}  {name}\r\n".encode("ascii")
                    for name, data in files)
    files.append((SUMS, sums))

    archive.parent.mkdir(parents=True, exist_ok=True)
    partial = archive.with_name(archive.name + ".part")
    with zipfile.ZipFile(partial, "w") as z:
        for name, data in files:
            z.writestr(entry(name, date), data)
    partial.replace(archive)


if __name__ == "__main__":
    main(sys.argv)
