#!/usr/bin/env python3
"""S-format and the peers' format workload, alternating in every rep.

usage: format_bench.py BUILD PEERS_SRC PEERS_BIN WORK REPS R

Each run is one process under /usr/bin/time: wall seconds, processor seconds (user + system) and peak
RSS. The reps are the outer loop, so the noise of a shared machine spreads over every tool. After the
timed runs every tool's last output is checked by the peers' fmt_check.py (values, types, fonts, fills,
number formats, dates), which also gives the size of the styles part. Prints one table of medians with
ratios to libxlsxwriter in constant memory mode, the peer to beat.
"""
import os
import statistics
import subprocess
import sys

BUILD, PEERS, PEERS_BIN, WORK, REPS, R = sys.argv[1:7]
REPS, R = int(REPS), int(R)
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PY = "/usr/bin/python3"
REFERENCE = "libxlsxwriter constmem"


def out(name):
    return os.path.join(WORK, name.replace(" ", "_") + ".xlsx")


TOOLS = [
    ("S-format (ours)", lambda f: [os.path.join(BUILD, "host", "korvadel"), "--plugin",
                                   os.path.join(BUILD, "plugin", "xlsx.kvp"),
                                   os.path.join(ROOT, "bench", "scripts", "s_format.lua"), str(R), f]),
    ("libxlsxwriter constmem", lambda f: [os.path.join(PEERS_BIN, "fmt_lxw"), str(R), "constmem", f]),
    ("libxlsxwriter normal", lambda f: [os.path.join(PEERS_BIN, "fmt_lxw"), str(R), "normal", f]),
    ("XlsxWriter constmem", lambda f: [PY, os.path.join(PEERS, "py", "fmt_xlsxwriter.py"), str(R), "constmem", f]),
    ("openpyxl write_only", lambda f: [PY, os.path.join(PEERS, "py", "fmt_openpyxl.py"), str(R), "write_only", f]),
    ("exceljs stream", lambda f: ["node", os.path.join(PEERS, "js", "fmt_exceljs.js"), str(R), "stream", f]),
]


# ONLY (comma-separated names) limits the run to some tools; exceljs needs the peers' node modules.
if os.environ.get("ONLY"):
    TOOLS = [t for t in TOOLS if t[0] in os.environ["ONLY"].split(",")]
if not os.path.isdir(os.path.join(PEERS, "node_modules", "exceljs")):
    TOOLS = [t for t in TOOLS if not t[0].startswith("exceljs")]


def timed(cmd):
    result = subprocess.run(["/usr/bin/time", "-f", "TIME %e %U %S %M", *cmd], capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit(f"failed: {' '.join(cmd)}\n{result.stdout}{result.stderr}")
    line = [l for l in result.stderr.splitlines() if l.startswith("TIME ")][-1].split()
    return float(line[1]), float(line[2]) + float(line[3]), int(line[4]) / 1024.0


def main():
    os.makedirs(WORK, exist_ok=True)
    runs = {name: [] for name, _ in TOOLS}
    for rep in range(REPS):
        for name, command in TOOLS:
            runs[name].append(timed(command(out(name))))
        print(f"rep {rep + 1}/{REPS} done", file=sys.stderr)
    check = subprocess.run([PY, os.path.join(PEERS, "py", "fmt_check.py"), str(R), *[out(n) for n, _ in TOOLS]],
                           capture_output=True, text=True)
    verdicts = {}
    for line in check.stdout.splitlines():
        if line.startswith("FMTCHECK "):
            path = line.split()[1]
            fields = dict(f.split("=", 1) for f in line.split()[2:] if "=" in f)
            verdicts[path] = fields
    med = {name: tuple(statistics.median(r[i] for r in runs[name]) for i in range(3)) for name in runs}
    ref = med[REFERENCE]
    load = os.getloadavg()
    print(f"S-format, R = {R}, {REPS} reps alternating, medians; load average at the end {load[0]:.1f}")
    print()
    print("| tool | wall s | x ref wall | cpu s | x ref cpu | peak RSS MB | styles part bytes | check |")
    print("|---|---|---|---|---|---|---|---|")
    for name, _ in TOOLS:
        wall, cpu, rss = med[name]
        v = verdicts.get(out(name), {})
        print(f"| {name} | {wall:.2f} | {wall / ref[0]:.2f} | {cpu:.2f} | {cpu / ref[1]:.2f} | {rss:.0f} | "
              f"{v.get('styles_xml', '?')} | {v.get('passed', 'not read')} |")
    ours = verdicts.get(out(TOOLS[0][0]), {})
    styles = int(ours.get("styles_xml", "999999"))
    print()
    print(f"target: faster than {REFERENCE}: wall {med[TOOLS[0][0]][0]:.2f} s against {ref[0]:.2f} s "
          f"({'met' if med[TOOLS[0][0]][0] < ref[0] else 'not met'}), processor {med[TOOLS[0][0]][1]:.2f} s "
          f"against {ref[1]:.2f} s ({'met' if med[TOOLS[0][0]][1] < ref[1] else 'not met'})")
    print(f"target: styles part under 4 KB: {styles} bytes ({'met' if styles < 4096 else 'not met'})")
    if check.returncode != 0:
        print(check.stdout, check.stderr)
        sys.exit("a written file failed the check")


main()
