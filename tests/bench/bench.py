#!/usr/bin/env python3
"""Runs the benchmarks of tests/bench at several screen sizes and prints one table.

Each screen size gets its own Wine session (scripts/wine-session.sh: Xvfb and Wine's virtual
desktop of that size, a CUPS PDF printer); in it this script runs again with --session, times
the program and the tools people use instead on the same display, and hands its figures back
as JSON. Figures are medians of the repetitions with their range; nothing here passes or fails.
"""
import argparse
import json
import math
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SIZES = [(1024, 768), (1920, 1080), (3840, 2160)]


def figures(output):
    """The FIG lines of a benchmark program: name -> list of numbers."""
    found = {}
    for line in output.splitlines():
        parts = line.split()
        if len(parts) >= 2 and parts[0] == "FIG":
            found[parts[1]] = [float(v) for v in parts[2:]]
    return found


def run_wine(exe, *args):
    done = subprocess.run(["wine", exe, *args], capture_output=True, text=True,
                          errors="replace")
    if done.returncode != 0:
        sys.stderr.write(f"{os.path.basename(exe)} ended with {done.returncode}:\n"
                         f"{done.stdout}{done.stderr}")
    return figures(done.stdout)


def fsync_file(path):
    fd = os.open(path, os.O_RDONLY)
    try:
        os.fsync(fd)
    finally:
        os.close(fd)


def command_ms(argv, reps, fsync=None):
    """Wall time of a Linux command, start-up included, after one run to warm it; with `fsync`
    (the command's output file) the time to have that file on disk is included, the promise
    the program makes when it says a copy is done. A run that fails (scrot now and then does,
    as Wine's windows come and go) is retried, not counted."""
    times = []
    failures = 0
    while len(times) < reps + 1:
        start = time.perf_counter()
        done = subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                              text=True, errors="replace")
        if done.returncode == 0 and fsync:
            fsync_file(fsync)
        elapsed = (time.perf_counter() - start) * 1000
        if done.returncode != 0:
            failures += 1
            sys.stderr.write(f"{argv[0]} failed ({done.returncode}): {done.stderr.strip()}\n")
            if failures > reps:
                return []
            continue
        times.append(elapsed)
    return times[1:]


def convert_exe():
    # The real ImageMagick, not a wrapper that may stand before it on PATH.
    return "/usr/bin/convert" if os.path.exists("/usr/bin/convert") else "convert"


def finished_pdfs(folder):
    """The PDFs in the printer's output folder that cups-pdf has finished (the trailer has come)."""
    done = set()
    for name in os.listdir(folder):
        if not name.endswith(".pdf"):
            continue
        try:
            with open(os.path.join(folder, name), "rb") as f:
                f.seek(0, os.SEEK_END)
                f.seek(max(0, f.tell() - 64))
                if b"%%EOF" in f.read():
                    done.add(name)
        except OSError:
            pass
    return done


def peer_print_ms(scratch, reps):
    """The screen to a printed page as a Linux user does it: `import -window root` to a PNG,
    then `lp` to the same CUPS PDF printer, timed from the start to the finished PDF. One run
    to warm up first, as for the program; the peer's PDFs are removed afterwards."""
    folder = os.environ.get("KAVREL_PDF_DIR") or os.path.expanduser("~/PDF")
    printer = os.environ.get("KAVREL_PRINTER") or "PDF"
    times = []
    for r in range(reps + 1):
        before = finished_pdfs(folder)
        png = os.path.join(scratch, f"screen{r}.png")
        start = time.perf_counter()
        ok = (subprocess.run(["import", "-window", "root", png],
                             stderr=subprocess.DEVNULL).returncode == 0 and
              subprocess.run(["lp", "-d", printer, png], stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL).returncode == 0)
        new = set()
        while ok and not new and time.perf_counter() - start < 120:
            new = finished_pdfs(folder) - before
            time.sleep(0.005)
        elapsed = (time.perf_counter() - start) * 1000
        for name in new:
            os.remove(os.path.join(folder, name))
        if not new:
            sys.stderr.write("import + lp: no PDF came out\n")
            return times
        if r > 0:
            times.append(elapsed)
    return times


def session(args):
    """Inside a Wine session of one screen size: every figure of that size."""
    win32 = args.win32
    w, h, reps = args.width, args.height, args.reps
    result = {"width": w, "height": h}
    if args.adjust_only:
        # The colour pass alone, in a session whose display has 16 bits per pixel.
        result.update(run_wine(os.path.join(win32, "bench_adjust_win.exe"), str(w), str(h),
                               str(max(1, reps // 2)), str(reps)))
        with open(args.out, "w") as f:
            json.dump(result, f)
        return
    scratch = tempfile.mkdtemp(prefix="kavrel-bench.")
    try:
        copy_args = [str(reps)]
        if args.prints:
            copy_args += ["--print", str(args.prints)]
        result.update(run_wine(os.path.join(win32, "bench_copy_win.exe"), *copy_args))

        # The same job by the tools people use instead, on the same display: a BMP where the
        # tool writes one; as they run, and with their file flushed to disk as the program's is.
        for peer, argv in (("scrot", ["scrot", "-o"]), ("import", ["import", "-window", "root"])):
            out = os.path.join(scratch, peer + ".bmp")
            result[peer] = command_ms(argv + [out], reps)
            result[peer + "_fsync"] = command_ms(argv + [out], reps, fsync=out)
        if args.prints:
            result["peer_print"] = peer_print_ms(scratch, args.prints)

        steps = os.path.join(win32, "bench_steps_win.exe")
        if os.path.exists(steps):
            steps_args = [str(reps), "Z:" + os.path.join(scratch, "steps.bmp").replace("/", "\\")]
            if args.prints:
                steps_args += ["--print", str(args.prints)]
            result.update(run_wine(steps, *steps_args))

        result.update(run_wine(os.path.join(win32, "bench_adjust_win.exe"), str(w), str(h),
                               str(max(1, reps // 2)), str(reps)))

        screen_bmp = os.path.join(scratch, "screen.bmp")
        result.update(run_wine(os.path.join(win32, "bench_bmp_win.exe"), str(reps),
                               "Z:" + screen_bmp.replace("/", "\\")))
        if os.path.exists(screen_bmp):
            convert = convert_exe()
            tiny = os.path.join(scratch, "tiny.bmp")
            subprocess.run([convert, "-size", "1x1", "xc:black", tiny], check=True)
            out = os.path.join(scratch, "im.bmp")
            # The command's start-up, measured on a one-pixel image, is taken off.
            startup_read = statistics.median(command_ms([convert, tiny, "null:"], reps))
            startup_both = statistics.median(command_ms([convert, tiny, out], reps))
            result["im_read"] = [t - startup_read
                                 for t in command_ms([convert, screen_bmp, "null:"], reps)]
            result["im_convert"] = [t - startup_both
                                    for t in command_ms([convert, screen_bmp, out], reps)]
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    with open(args.out, "w") as f:
        json.dump(result, f)


def med(values):
    return statistics.median(values) if values else float("nan")


def cell(values, unit="", digits=0):
    if not values:
        return "-"
    fmt = f"{{:.{digits}f}}"
    if len(values) == 1:
        return fmt.format(values[0]) + unit
    return (fmt.format(med(values)) + unit + " (" + fmt.format(min(values)) + "-" +
            fmt.format(max(values)) + ")")


def mpix(r):
    return r["width"] * r["height"] / 1e6


def growth(results, key, minus=0.0):
    """The exponent of cost against pixels from the smallest to the largest screen, and the
    cost per Mpixel at each size: 1 is linear, below 1 means fixed costs still weigh. Taken
    from the fastest repetition of each size, which other load on the machine disturbs least."""
    pts = [(mpix(r), min(r[key]) - minus) for r in results if r.get(key)]
    if len(pts) < 2 or pts[0][1] <= 0 or pts[-1][1] <= 0:
        return "-"
    exponent = math.log(pts[-1][1] / pts[0][1]) / math.log(pts[-1][0] / pts[0][0])
    per = "/".join(f"{t / p:.0f}" for p, t in pts)
    verdict = "linear or below" if exponent <= 1.15 else "ABOVE LINEAR"
    return f"x^{exponent:.2f} {verdict}; ms/Mpx {per}"


def table(results, reps, load_before, load_after, prints, baseline):
    sizes = [f"{r['width']}x{r['height']}" for r in results]
    col = 22
    lines = []

    def row(label, cells, note=""):
        lines.append(f"{label:<34}" + "".join(f"{c:>{col}}" for c in cells) + ("  " + note if
                                                                             note else ""))

    lines.append(f"Kavrel-DUX benchmark, {time.strftime('%Y-%m-%d %H:%M')}; {reps} repetitions; "
                 f"median (min-max)")
    lines.append(f"load average before: {load_before}; after: {load_after}")
    row("", sizes, "growth with the screen (fastest runs)")
    row("load average at start; at end", [" ; ".join(x.split()[0] for x in r["load"])
                                           if r.get("load") else "-" for r in results])
    lines.append("1. Hot key to finished BMP file, ms")
    row("  KAVREL.EXE, high-speed option", [cell(r.get("hotkey_fast")) for r in results],
        growth(results, "hotkey_fast"))
    row("  KAVREL.EXE, normal (500 ms hide)", [cell(r.get("hotkey_normal")) for r in results],
        growth(results, "hotkey_normal", 500))
    for peer, label in (("scrot", "scrot -o x.bmp"), ("import", "import -window root x.bmp")):
        row(f"  {label}", [cell(r.get(peer)) for r in results], growth(results, peer))
        row(f"  {label} + fsync", [cell(r.get(peer + "_fsync")) for r in results],
            growth(results, peer + "_fsync"))
    for peer in ("scrot", "import", "scrot_fsync", "import_fsync"):
        row(f"  {peer.replace('_', ' + ')} time / KAVREL high-speed",
            [f"{med(r[peer]) / med(r['hotkey_fast']):.2f}x" if r.get(peer) and
             r.get("hotkey_fast") else "-" for r in results])
    if prints:
        lines.append("2. Screen to a printed page, to the finished PDF, ms")
        row("  KAVREL.EXE, DDE [PRINTALLSCREEN]", [cell(r.get("dde_pdf")) for r in results],
            growth(results, "dde_pdf"))
        row("    of it to the job handed to CUPS", [cell(r.get("dde_handed")) for r in results],
            growth(results, "dde_handed"))
        shares = []
        for r in results:
            if r.get("dde_handed") and r.get("dde_pdf"):
                p = med(r["dde_handed"]) / med(r["dde_pdf"]) * 100
                shares.append(f"{p:.0f}% / {100 - p:.0f}%")
            else:
                shares.append("-")
        row("    share program / spooler", shares)
        row("  import -window root x.png; lp", [cell(r.get("peer_print")) for r in results],
            growth(results, "peer_print"))
        row("  import + lp time / KAVREL",
            [f"{med(r['peer_print']) / med(r['dde_pdf']):.2f}x" if r.get("peer_print") and
             r.get("dde_pdf") else "-" for r in results])
    lines.append("3. Colour adjustment pass, ms per Mpixel")
    row("  per pixel (GetPixel/SetPixel)",
        [cell([v / mpix(r) for v in r.get("adjust_pixel", [])]) for r in results])
    row("  bulk over the bits",
        [cell([v / mpix(r) for v in r.get("adjust_bulk", [])], digits=1) for r in results])
    row("  ratio; pixels identical",
        [f"{med(r['adjust_pixel']) / med(r['adjust_bulk']):.0f}x; "
         f"{'yes' if r.get('adjust_same', [0])[0] else 'NO'}" if r.get("adjust_bulk") else "-"
         for r in results])
    # Both methods repaint the status line twenty times, a fixed cost that weighs on the bulk
    # pass at small sizes; without it the methods themselves compare.
    row("  fixed part: repaints, set-up, ms", [cell(r.get("adjust_fixed"), digits=1)
                                               for r in results])
    row("  ratio without the fixed part",
        [f"{(med(r['adjust_pixel']) - med(r['adjust_fixed'])) / (med(r['adjust_bulk']) - med(r['adjust_fixed'])):.0f}x"
         if r.get("adjust_fixed") and med(r["adjust_bulk"]) > med(r["adjust_fixed"]) else "-"
         for r in results])
    if any(r.get("d16_adjust_bulk") for r in results):
        lines.append("3b. The same pass on a 16-bit display (High Color), ms per Mpixel")
        row("  per pixel (GetPixel/SetPixel)",
            [cell([v / mpix(r) for v in r.get("d16_adjust_pixel", [])]) for r in results])
        row("  bulk over the bits",
            [cell([v / mpix(r) for v in r.get("d16_adjust_bulk", [])], digits=1)
             for r in results])
        row("  ratio; pixels identical",
            [f"{med(r['d16_adjust_pixel']) / med(r['d16_adjust_bulk']):.0f}x; "
             f"{'yes' if r.get('d16_adjust_same', [0])[0] else 'NO'}"
             f"{'' if r.get('d16_adjust_bulk_ran', [0])[0] else ' (NOT in bulk)'}"
             if r.get("d16_adjust_bulk") else "-" for r in results])
        row("  display bits per pixel", [cell(r.get("d16_adjust_bits")) for r in results])
    lines.append("4. BMP of the screen, MB/s (program: in process; ImageMagick: start-up taken off)")

    def rate(r, key):
        mb = r.get("bmp_mb", [0])[0]
        return cell([mb / (t / 1000) for t in r.get(key, []) if t > 0])

    row("  capture step (screen to clipboard), ms", [cell(r.get("capture")) for r in results],
        growth(results, "capture"))
    row("  write_bitmap_file", [rate(r, "bmp_write") for r in results],
        growth(results, "bmp_write"))
    row("  load_bitmap_file", [rate(r, "bmp_load") for r in results],
        growth(results, "bmp_load"))
    row("  ImageMagick read", [rate(r, "im_read") for r in results])
    row("  ImageMagick read + write", [rate(r, "im_convert") for r in results])
    lines.append("5. KAVREL.EXE working set, MB")
    row("  idle", [cell(r.get("mem_idle", [])[:1], digits=1) for r in results])
    row("  peak after the hot-key copies", [cell(r.get("mem_copy", [])[1:], digits=1)
                                            for r in results])
    row("  image size (32 bits)", [f"{r['width'] * r['height'] * 4 / 1048576:.1f}"
                                   for r in results])
    over = []
    for r in results:
        if r.get("mem_idle") and r.get("mem_copy"):
            image = r["width"] * r["height"] * 4 / 1048576
            over.append(f"{(r['mem_copy'][1] - r['mem_idle'][0]) / image:.1f}x image")
        else:
            over.append("-")
    row("  peak above idle", over)
    if prints:
        row("  peak after the prints", [cell(r.get("mem_print", [])[1:], digits=1)
                                        for r in results])
        row("  peak above idle, prints", [
            f"{(r['mem_print'][1] - r['mem_idle'][0]) / (r['width'] * r['height'] * 4 / 1048576):.1f}"
            "x image" if r.get("mem_print") and r.get("mem_idle") else "-" for r in results])
    step_names = []
    for r in results:
        step_names += [k for k in r if k.startswith("step_") and k not in step_names]
    if step_names:
        lines.append("6. The copy and print paths step by step, in one process, ms (median)")
        for k in step_names:
            row(f"  {k[5:]}", [cell(r.get(k), digits=1) for r in results], STEP_NOTES.get(k[5:], ""))
    lines.append("Targets")
    lines.extend("  " + t for t in targets(results, prints, baseline))
    return "\n".join(lines)


def exponent(results, key, minus=0.0):
    pts = [(mpix(r), min(r[key]) - minus) for r in results if r.get(key)]
    if len(pts) < 2 or pts[0][1] <= 0 or pts[-1][1] <= 0:
        return None
    return math.log(pts[-1][1] / pts[0][1]) / math.log(pts[-1][0] / pts[0][0])


# Whose time each step of the profile is: the program's choice of calls, or the system's work
# inside a call the design requires.
STEP_NOTES = {
    "cap_create_bitmap": "Wine: the screen bitmap (memory comes on first touch)",
    "cap_bitblt": "Wine/X: the screen copied into a new bitmap (program's choice of call)",
    "cap_stretchblt": "Wine/X: the same with a stretching copy, as before",
    "cap_stretchblt_again": "the stretching copy into a bitmap already touched",
    "cap_bitblt_again": "the plain copy into a bitmap already touched",
    "cap_message_beep": "Wine: the plain beep",
    "clip_open_empty": "Wine: the old image released",
    "clip_set": "Wine: SetClipboardData copies the bitmap's bits to its server",
    "clip_close": "Wine",
    "clip_get": "Wine: the owner gets its own handle back",
    "dib_alloc_zeroed": "program: the pixel buffer",
    "dib_getdibits": "Wine: bitmap to DIB into the new buffer (its pages touched first)",
    "dib_getdibits_again": "Wine: the same into a buffer already touched",
    "file_create": "Wine/disk",
    "file_write_2000": "program's piece size before: 2000 bytes",
    "file_write_64kib": "pieces of 64 KB",
    "file_write_1mib": "program's piece size now: 1 MB",
    "file_write_one": "the whole image in one write",
    "file_flush": "disk: the promise that the file is there",
    "file_close": "Wine",
    "whole_capture_to_clipboard": "the product's capture",
    "whole_write_bitmap_file": "the product's writer",
    "prn_create_dc": "Wine: printer DC",
    "prn_start": "Wine: StartDoc, StartPage",
    "prn_image_dib": "Wine: clipboard bitmap to 24-bit DIB",
    "prn_scratch_dcs": "program: the scratch DCs (kept)",
    "prn_scratch_bitmap": "program: the scratch bitmap (kept)",
    "prn_scratch_dib": "program: its DIB, read by nothing (dropped)",
    "prn_scratch_modes": "program: stretch mode, brush origin (kept)",
    "prn_scratch_draw": "program: image drawn into it, never seen (dropped)",
    "prn_stretchdibits": "Wine's PostScript driver: the image encoded",
    "prn_end_page": "Wine",
    "prn_end_doc": "Wine: the job written and handed to CUPS",
    "whole_print_image": "the product's print job, to the job handed over",
}

# Today's figure the print target is measured against (the 3840 x 2160 run: 1,405 ms
# to the PDF, 84 % of it before the job reached CUPS), unless --baseline gives a run of ours.
BASELINE_HANDED_4K = 1405 * 0.84


def targets(results, prints, baseline=None):
    def sizes(rs):
        return ", ".join(f"{r['width']}x{r['height']}" for r in rs) or "none"

    def verdict(ok):
        return "met" if ok else "NOT MET"

    def faster(r, key, peers):
        return r.get(key) and all(r.get(p) and med(r[key]) < med(r[p]) for p in peers)

    out = []
    fair = [r for r in results if not faster(r, "hotkey_fast", ("scrot_fsync", "import_fsync"))]
    out.append(f"hot key to file (high-speed) faster than scrot and import with their file "
               f"flushed, every size: {verdict(not fair)} (not at: {sizes(fair)})")
    small = [r for r in results if (r["width"], r["height"]) != (3840, 2160)]
    plain = [r for r in small if not faster(r, "hotkey_fast", ("scrot", "import"))]
    if small:
        out.append(f"hot key to file (high-speed) faster than scrot and import as they run, "
                   f"below 3840x2160: {verdict(not plain)} (not at: {sizes(plain)})")
    for r in results:
        if (r["width"], r["height"]) == (3840, 2160) and r.get("hotkey_fast") and r.get("scrot"):
            out.append(f"  at 3840x2160 as they run: scrot {med(r['scrot']):.0f} ms, import "
                       f"{med(r['import']):.0f} ms, KAVREL {med(r['hotkey_fast']):.0f} ms "
                       f"(scrot / KAVREL {med(r['scrot']) / med(r['hotkey_fast']):.2f}x)")
    if prints:
        slow = [r for r in results if not faster(r, "dde_pdf", ("peer_print",))]
        out.append(f"DDE print to the finished PDF faster than import + lp, every size: "
                   f"{verdict(not slow)} (not at: {sizes(slow)})")
        base = BASELINE_HANDED_4K
        source = "the issue's run"
        for b in baseline or []:
            if (b["width"], b["height"]) == (3840, 2160) and b.get("dde_handed"):
                base, source = med(b["dde_handed"]), "--baseline"
        for r in results:
            if (r["width"], r["height"]) == (3840, 2160) and r.get("dde_handed"):
                now = med(r["dde_handed"])
                out.append(f"program's own share of the 3840x2160 print at most half of today's "
                           f"({base:.0f} ms, {source}): {verdict(now <= base / 2)} "
                           f"({now:.0f} ms, {now / base * 100:.0f}% of it)")
    weak = [r for r in results if not (r.get("adjust_bulk") and r.get("adjust_same") and
                                       r["adjust_same"][0] and
                                       med(r["adjust_pixel"]) >= 50 * med(r["adjust_bulk"]))]
    out.append(f"adjustment pass at least 50x faster with the repaints, identical pixels: "
               f"{verdict(not weak)} (not at: {sizes(weak)})")

    def bare_ratio(r):
        fixed = med(r.get("adjust_fixed", []))
        if not r.get("adjust_bulk") or med(r["adjust_bulk"]) <= fixed:
            return 0
        return (med(r["adjust_pixel"]) - fixed) / (med(r["adjust_bulk"]) - fixed)

    weak = [r for r in results if bare_ratio(r) < 100]
    out.append(f"adjustment pass at least 100x faster without the repaints: {verdict(not weak)} "
               f"(not at: {sizes(weak)})")
    d16 = [r for r in results if r.get("d16_adjust_bulk")]
    if d16:
        weak = [r for r in d16 if not (r.get("d16_adjust_bulk_ran", [0])[0] and
                                       r.get("d16_adjust_same", [0])[0])]
        out.append(f"adjustment pass on a 16-bit display in bulk, identical pixels: "
                   f"{verdict(not weak)} (not at: {sizes(weak)})")
    keys = (("hotkey_fast", 0), ("hotkey_normal", 500), ("capture", 0), ("bmp_write", 0),
            ("bmp_load", 0), ("adjust_bulk", 0), ("dde_handed", 0), ("dde_pdf", 0))
    steep = [k for k, minus in keys if (exponent(results, k, minus) or 0) > 1.15]
    out.append(f"nothing above linear in pixels: {verdict(not steep)} "
               f"(above: {', '.join(steep) or 'none'})")
    for key, what, limit in (("mem_copy", "hot-key copy to file", 2.0), ("mem_print", "DDE print", None)):
        over = [(r[key][1] - r["mem_idle"][0]) / (r["width"] * r["height"] * 4 / 1048576)
                for r in results if r.get(key) and r.get("mem_idle")]
        if not over:
            continue
        if limit:
            out.append(f"peak memory of a {what} at most {limit:.0f}x the image above idle: "
                       f"{verdict(round(max(over), 1) <= limit)} (largest {max(over):.1f}x)")
        else:
            out.append(f"peak memory of a {what} above idle (reported; today 4.4x): largest "
                       f"{max(over):.1f}x the image")
    return out


def load_runs(files):
    runs = []
    for name in files:
        with open(name) as f:
            runs += json.load(f)
    return runs


def load_average():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--reps", type=int, default=7, help="repetitions of each figure")
    parser.add_argument("--prints", type=int, default=3,
                        help="DDE print requests per size (0: none)")
    parser.add_argument("--sizes", default=",".join(f"{w}x{h}" for w, h in SIZES),
                        help="screen sizes, e.g. 1024x768,1920x1080")
    parser.add_argument("--no-build", action="store_true")
    parser.add_argument("--json", help="also write all figures to this file")
    parser.add_argument("--from-json", nargs="+", metavar="FILE",
                        help="measure nothing: print the table of runs saved with --json")
    parser.add_argument("--baseline", nargs="+", metavar="FILE",
                        help="runs saved with --json to judge the print target against")
    parser.add_argument("--session", action="store_true", help=argparse.SUPPRESS)
    parser.add_argument("--width", type=int, help=argparse.SUPPRESS)
    parser.add_argument("--height", type=int, help=argparse.SUPPRESS)
    parser.add_argument("--win32", help=argparse.SUPPRESS)
    parser.add_argument("--out", help=argparse.SUPPRESS)
    parser.add_argument("--adjust-only", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.session:
        session(args)
        return 0

    baseline = load_runs(args.baseline) if args.baseline else None
    if args.from_json:
        results = sorted(load_runs(args.from_json), key=lambda r: r["width"] * r["height"])
        print(table(results, args.reps, "-", "-", args.prints, baseline))
        return 0

    build = os.environ.get("KAVREL_BUILD_DIR", os.path.join(ROOT, "build"))
    if not args.no_build:
        subprocess.run([os.path.join(ROOT, "scripts", "build.sh")], check=True,
                       stdout=subprocess.DEVNULL)
    win32 = os.path.join(build, "win32")
    load_before = load_average()
    results = []
    for size in args.sizes.split(","):
        w, h = (int(v) for v in size.lower().split("x"))
        print(f"measuring at {w}x{h} ...", file=sys.stderr, flush=True)
        start_load = load_average()
        with tempfile.NamedTemporaryFile(suffix=".json") as out:
            env = dict(os.environ, KAVREL_SCREEN=f"{w}x{h}")
            subprocess.run([os.path.join(ROOT, "scripts", "wine-session.sh"), "--shell",
                            sys.executable, os.path.abspath(__file__), "--session",
                            "--width", str(w), "--height", str(h), "--reps", str(args.reps),
                            "--prints", str(args.prints), "--win32", win32, "--out", out.name],
                           env=env, check=True)
            size_load = load_average()
            with open(out.name) as f:
                results.append(json.load(f))
            results[-1]["load"] = [start_load, size_load]
            results[-1]["reps"] = args.reps
        # The colour pass again on a 16-bit display, the High Color of the machines of the
        # Windows 95 days, where it has a bulk pass of its own.
        with tempfile.NamedTemporaryFile(suffix=".json") as out:
            env = dict(os.environ, KAVREL_SCREEN=f"{w}x{h}", KAVREL_SCREEN_DEPTH="16")
            subprocess.run([os.path.join(ROOT, "scripts", "wine-session.sh"), "--shell",
                            sys.executable, os.path.abspath(__file__), "--session",
                            "--adjust-only", "--width", str(w), "--height", str(h),
                            "--reps", str(args.reps), "--win32", win32, "--out", out.name],
                           env=env, check=True)
            with open(out.name) as f:
                results[-1].update({"d16_" + k: v for k, v in json.load(f).items()
                                    if k.startswith("adjust")})
    if args.json:
        with open(args.json, "w") as f:
            json.dump(results, f, indent=1)
    print(table(results, args.reps, load_before, load_average(), args.prints, baseline))
    return 0


if __name__ == "__main__":
    sys.exit(main())
