"""Runs the library-level sheet benchmark and the libxlsxwriter peer in one go and prints the table.
usage: python3 bench/sheet/run_sheet_bench.py BUILD_DIR [R ...]   (default R: 10000 100000)
Each figure is the median of REPS runs (environment, default 3); every run checks its own result."""
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time


def run(command):
    """Runs command; returns (wall seconds, peak RSS MB, stdout). Fails on a non-zero exit."""
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.PIPE, text=True)
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.perf_counter() - start
    out = process.stdout.read()
    process.stdout.close()
    if os.waitstatus_to_exitcode(status) != 0 or "FAILED" in out:
        sys.exit(f"failed: {' '.join(command)}\n{out}")
    return wall, usage.ru_maxrss / 1024.0, out


def field(out, name):
    return float(re.search(name + r"=([0-9.]+)", out).group(1))


def main():
    build = sys.argv[1]
    sizes = [int(x) for x in sys.argv[2:]] or [10000, 100000]
    reps = int(os.environ.get("REPS", "3"))
    bench = os.path.join(build, "bench/sheet/sheet_bench")
    lxw = os.path.join(build, "bench/sheet/sheet_bench_lxw")
    rows = []
    with tempfile.TemporaryDirectory(prefix="sheet_bench_") as tmp:
        for r in sizes:
            results = {"ours": [], "lxw": [], "read": [], "random": []}
            for _ in range(reps):
                results["lxw"].append(run([lxw, str(r), "normal", os.path.join(tmp, "lxw.xlsx")]))
                results["ours"].append(run([bench, "write", str(r), os.path.join(tmp, "ours.xlsx")]))
                results["read"].append(run([bench, "read", os.path.join(tmp, "lxw.xlsx"), str(r)]))
                results["random"].append(run([bench, "random", os.path.join(tmp, "lxw.xlsx"), str(r), "10000"]))
            med = lambda key, i: statistics.median(x[i] for x in results[key])
            medf = lambda key, name: statistics.median(field(x[2], name) for x in results[key])
            lxw_wall = med("lxw", 0)
            ours = medf("ours", "total_s")  # create + fill + save, without the read-back check
            rows.append((r, "L-write ours (create + fill + save)", ours, med("ours", 1),
                         f"{ours / lxw_wall:.2f} x libxlsxwriter; fill {medf('ours', 'ns_per_cell'):.0f} ns/cell, "
                         f"save {medf('ours', 'save_s'):.2f} s"))
            rows.append((r, "libxlsxwriter normal (process wall)", lxw_wall, med("lxw", 1), "1.00"))
            rows.append((r, "read every cell of the libxlsxwriter file", med("read", 0), med("read", 1),
                         f"open+parse {medf('read', 'open_parse_s'):.2f} s, cells {medf('read', 'ns_per_cell'):.0f} ns/cell"))
            rows.append((r, "10,000 cells at random after open", med("random", 0), med("random", 1),
                         f"{medf('random', 'ns_per_cell'):.0f} ns/cell beyond the open"))
    print(f"| R | benchmark | wall s | peak RSS MB | notes |\n|---|---|---|---|---|")
    for r, name, wall, rss, note in rows:
        print(f"| {r} | {name} | {wall:.3f} | {rss:.0f} | {note} |")


if __name__ == "__main__":
    main()
