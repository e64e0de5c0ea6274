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


def command_ms(argv, reps):
    """Wall time of a Linux command, start-up included, after one run to warm it. A run that
    fails (scrot now and then does, as Wine's windows come and go) is retried, not counted."""
    times = []
    failures = 0
    while len(times) < reps + 1:
        start = time.perf_counter()
        done = subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                              text=True, errors="replace")
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


def session(args):
    """Inside a Wine session of one screen size: every figure of that size."""
    win32 = args.win32
    w, h, reps = args.width, args.height, args.reps
    scratch = tempfile.mkdtemp(prefix="kavrel-bench.")
    result = {"width": w, "height": h}
    try:
        copy_args = [str(reps)]
        if args.prints:
            copy_args += ["--print", str(args.prints)]
        result.update(run_wine(os.path.join(win32, "bench_copy_win.exe"), *copy_args))

        # The same job by the tools people use instead, on the same display: a BMP where the
        # tool writes one.
        result["scrot"] = command_ms(["scrot", "-o", os.path.join(scratch, "scrot.bmp")], reps)
        result["import"] = command_ms(
            ["import", "-window", "root", os.path.join(scratch, "import.bmp")], reps)

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


def table(results, reps, load_before, load_after, prints):
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
    lines.append("1. Hot key to finished BMP file, ms")
    row("  KAVREL.EXE, high-speed option", [cell(r.get("hotkey_fast")) for r in results],
        growth(results, "hotkey_fast"))
    row("  KAVREL.EXE, normal (500 ms hide)", [cell(r.get("hotkey_normal")) for r in results],
        growth(results, "hotkey_normal", 500))
    row("  scrot -o x.bmp", [cell(r.get("scrot")) for r in results], growth(results, "scrot"))
    row("  import -window root x.bmp", [cell(r.get("import")) for r in results],
        growth(results, "import"))
    for peer in ("scrot", "import"):
        row(f"  {peer} time / KAVREL high-speed",
            [f"{med(r[peer]) / med(r['hotkey_fast']):.2f}x" if r.get(peer) and
             r.get("hotkey_fast") else "-" for r in results])
    if prints:
        lines.append("2. DDE [PRINTALLSCREEN] to finished PDF (high-speed option), ms")
        row("  to the job handed to CUPS", [cell(r.get("dde_handed")) for r in results])
        row("  to the finished PDF", [cell(r.get("dde_pdf")) for r in results])
        shares = []
        for r in results:
            if r.get("dde_handed") and r.get("dde_pdf"):
                p = med(r["dde_handed"]) / med(r["dde_pdf"]) * 100
                shares.append(f"{p:.0f}% / {100 - p:.0f}%")
            else:
                shares.append("-")
        row("  share program / spooler", shares)
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
    lines.append("Targets")
    lines.extend("  " + t for t in targets(results, prints))
    return "\n".join(lines)


def exponent(results, key, minus=0.0):
    pts = [(mpix(r), min(r[key]) - minus) for r in results if r.get(key)]
    if len(pts) < 2 or pts[0][1] <= 0 or pts[-1][1] <= 0:
        return None
    return math.log(pts[-1][1] / pts[0][1]) / math.log(pts[-1][0] / pts[0][0])


def targets(results, prints):
    def sizes(rs):
        return ", ".join(f"{r['width']}x{r['height']}" for r in rs) or "none"

    def verdict(ok):
        return "met" if ok else "NOT MET"

    out = []
    slower = [r for r in results if not (r.get("hotkey_fast") and r.get("scrot") and
                                         r.get("import") and
                                         med(r["hotkey_fast"]) < min(med(r["scrot"]),
                                                                     med(r["import"])))]
    out.append(f"hot key to file with the high-speed option faster than scrot and import: "
               f"{verdict(not slower)} (not at: {sizes(slower)})")
    weak = [r for r in results if not (r.get("adjust_bulk") and r.get("adjust_same") and
                                       r["adjust_same"][0] and
                                       med(r["adjust_pixel"]) >= 50 * med(r["adjust_bulk"]))]
    out.append(f"adjustment pass at least 50x faster, identical pixels: {verdict(not weak)} "
               f"(not at: {sizes(weak)}; the repaints of the fixed part included)")
    steep = [k for k, minus in (("hotkey_fast", 0), ("hotkey_normal", 500), ("capture", 0),
                                ("bmp_write", 0), ("bmp_load", 0), ("adjust_bulk", 0))
             if (exponent(results, k, minus) or 0) > 1.15]
    out.append(f"copy path not above linear in pixels: {verdict(not steep)} "
               f"(above: {', '.join(steep) or 'none'})")
    for key, what in (("mem_copy", "hot-key copy to file"), ("mem_print", "DDE print")):
        over = [(r["mem_copy" if key == "mem_copy" else key][1] - r["mem_idle"][0]) /
                (r["width"] * r["height"] * 4 / 1048576)
                for r in results if r.get(key) and r.get("mem_idle")]
        if over:
            out.append(f"peak memory of a {what} at most about 2x the image above idle: "
                       f"{verdict(max(over) <= 2.2)} (largest {max(over):.1f}x)")
    return out


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
    parser.add_argument("--session", action="store_true", help=argparse.SUPPRESS)
    parser.add_argument("--width", type=int, help=argparse.SUPPRESS)
    parser.add_argument("--height", type=int, help=argparse.SUPPRESS)
    parser.add_argument("--win32", help=argparse.SUPPRESS)
    parser.add_argument("--out", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.session:
        session(args)
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
        with tempfile.NamedTemporaryFile(suffix=".json") as out:
            env = dict(os.environ, KAVREL_SCREEN=f"{w}x{h}")
            subprocess.run([os.path.join(ROOT, "scripts", "wine-session.sh"), "--shell",
                            sys.executable, os.path.abspath(__file__), "--session",
                            "--width", str(w), "--height", str(h), "--reps", str(args.reps),
                            "--prints", str(args.prints), "--win32", win32, "--out", out.name],
                           env=env, check=True)
            with open(out.name) as f:
                results.append(json.load(f))
    if args.json:
        with open(args.json, "w") as f:
            json.dump(results, f, indent=1)
    print(table(results, args.reps, load_before, load_average(), args.prints))
    return 0


if __name__ == "__main__":
    sys.exit(main())
