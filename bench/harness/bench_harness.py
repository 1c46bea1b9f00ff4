"""Runs our benchmarks and the peers' in one run, checks every result and prints one table.

usage: bench_harness.py BUILD PEERS_SRC PEERS_BIN WORK RES REPS SIZES...
  BUILD      our Release build directory (host/korvadel, bench/sheet/sheet_bench)
  PEERS_SRC  a writable copy of the peers' folder (py/harness.py, js/ with node_modules)
  PEERS_BIN  where wr_lxw and limits were built
  WORK, RES  scratch folder and results folder

The peers' own harness is imported for its matrix, its timing (one process under /usr/bin/time -v: wall is
'Elapsed', peak RSS is 'Maximum resident set size'), its file check (openpyxl read_only, cell by cell) and its
checksum parser, so both sides are measured and checked the same way. Reps are the outer loop and every rep
runs every peer and every one of ours, so machine noise spreads across all of them. Readers and the modify
group run at every size (the peers' harness alone reads only at the largest one).
Writes RES/raw.jsonl (one line per process run) and RES/summary.md (the table, also printed)."""
import json
import os
import re
import statistics
import subprocess
import sys
import time

BUILD, PEERS_SRC, PEERS_BIN, WORK, RES = sys.argv[1:6]
REPS = int(sys.argv[6])
SIZES = [int(s) for s in sys.argv[7:]]
HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPTS = os.path.join(os.path.dirname(HERE), "scripts")
KORVADEL = os.path.join(BUILD, "host", "korvadel")
SHEET_BENCH = os.path.join(BUILD, "bench", "sheet", "sheet_bench")
SHEET_MEMORY = os.path.join(BUILD, "bench", "sheet", "sheet_memory")
FLOORS = os.path.join(BUILD, "bench", "floors", "floors")
RANDOM_CELLS = 10000
OURS = "ours"
# A loaded sheet takes about 370 bytes per cell (sheet_memory measures it): the floors' blocks are that large.
BYTES_PER_CELL = 370

# The peers' harness reads its settings from the command line when it is imported.
sys.argv = ["harness.py", PEERS_BIN, WORK, RES, str(REPS)] + [str(s) for s in SIZES]
sys.path.insert(0, os.path.join(PEERS_SRC, "py"))
import harness as peers  # noqa: E402
from spec import expected  # noqa: E402


def input_file(r):
    """The file libxlsxwriter writes in normal mode for R rows: what every reader and modifier opens."""
    return os.path.join(WORK, "input_lxw_%d.xlsx" % r)


def out(name):
    return os.path.join(peers.OUT, name)


def peer_matrix():
    """The peers' matrix, with its readers and modifiers repeated at the smaller sizes."""
    base = peers.matrix()
    m = []
    for r in SIZES:
        m += [e for e in base if e[0] == "write" and e[3] == r]
        for (g, tool, mode, _r, cwd, argv, outf) in base:
            if g not in ("read", "modify"):
                continue
            argv = [input_file(r) if a == peers.INPUT else a for a in argv]
            if outf:
                sized = outf.replace(".xlsx", "_%d.xlsx" % r)
                argv = [sized if a == outf else a for a in argv]
                outf = sized
            m.append((g, tool, mode, r, cwd, argv, outf))
    return m


def our_matrix():
    """Our benchmarks: (group, tool, mode, R, cwd, argv, output file or None), tool always OURS."""
    m = []
    for r in SIZES:
        src = input_file(r)
        if os.path.exists(SHEET_BENCH):
            f = out("L-write_%d.xlsx" % r)
            m.append(("write", OURS, "L-write", r, BUILD, [SHEET_BENCH, "write", str(r), f], f))
        f = out("S-write_%d.xlsx" % r)
        m.append(("write", OURS, "S-write", r, BUILD, [KORVADEL, os.path.join(SCRIPTS, "s_write.lua"), str(r), f], f))
        m.append(("read", OURS, "S-read", r, BUILD, [KORVADEL, os.path.join(SCRIPTS, "s_read.lua"), src], None))
        m.append(("read", OURS, "S-range", r, BUILD, [KORVADEL, os.path.join(SCRIPTS, "s_range.lua"), src], None))
        if os.path.exists(SHEET_BENCH):
            m.append(("read", OURS, "L-read", r, BUILD, [SHEET_BENCH, "read", src, str(r)], None))
        script = os.path.join(SCRIPTS, "s_random.lua")
        m.append(("random", OURS, "S-random", r, BUILD, [KORVADEL, script, src, str(RANDOM_CELLS)], None))
        m.append(("random", OURS, "S-open", r, BUILD, [KORVADEL, script, src, "0"], None))
        if os.path.exists(SHEET_BENCH):
            m.append(("random", OURS, "L-random", r, BUILD, [SHEET_BENCH, "random", src, str(r), str(RANDOM_CELLS)],
                      None))
        f = out("S-modify_%d.xlsx" % r)
        m.append(("modify", OURS, "S-modify", r, BUILD, [KORVADEL, os.path.join(SCRIPTS, "s_modify.lua"), src, f], f))
    return m


GROUP_ORDER = {"floor": 0, "write": 1, "read": 2, "modify": 3, "random": 4}


def loaded_mb(r):
    return max(4, round(r * 10 * BYTES_PER_CELL / 2 ** 20))


def floor_matrix():
    """The floors (bench/floors), measured in every rep beside the benchmarks at the main size: fresh memory
    page by page and populated, random-load latency in a block the size of the loaded sheet, and libdeflate
    level 6 on the sheet XML on one and on two processors."""
    if not os.path.exists(FLOORS):
        return []
    r, mb = peers.MAIN_R, str(loaded_mb(peers.MAIN_R))
    sheet_xml = os.path.join(WORK, "sheet1.xml")
    runs = [("F-fault", ["fault", mb]), ("F-populate", ["populate", mb]), ("F-hugepopulate", ["hugepopulate", mb]),
            ("F-latency", ["latency", mb, "2000000"]), ("F-latency-huge", ["latency", mb, "2000000", "huge"]),
            ("F-latency-cache", ["latency", "4", "2000000"]), ("F-deflate", ["deflate", sheet_xml])]
    return [("floor", OURS, mode, r, BUILD, [FLOORS] + args, None) for mode, args in runs]


def full_matrix():
    """Peers and ours together, by size and group, each group's peers first."""
    m = peer_matrix() + our_matrix() + floor_matrix()
    return sorted(m, key=lambda e: (SIZES.index(e[3]), GROUP_ORDER[e[0]], e[1] == OURS))


def prepare():
    peers.prepare()  # empties OUT, writes the largest input and extracts its parts for the floors
    for r in SIZES:
        if not os.path.exists(input_file(r)) or r != peers.MAIN_R:
            peers.subprocess.run([os.path.join(PEERS_BIN, "wr_lxw"), str(r), "normal", input_file(r)], check=True)


def fields(text):
    """The key=value pairs of a RESULT or RANDOM line."""
    return dict(re.findall(r"(\w+)=(\S+)", text))


def processor_seconds():
    """User + system time of the run just timed (all its threads), from the report /usr/bin/time left."""
    with open(os.path.join(WORK, "time.txt")) as fh:
        txt = fh.read()
    return sum(float(re.search(r"%s time \(seconds\): (\S+)" % kind, txt).group(1)) for kind in ("User", "System"))


def run_matrix(mx, rawf):
    raw = []
    for rep in range(1, REPS + 1):
        for (g, tool, mode, r, cwd, argv, outf) in mx:
            rc, wall, rss, so, se = peers.run_timed(cwd, argv)
            cpu = processor_seconds()
            rec = {"rep": rep, "group": g, "tool": tool, "mode": mode, "R": r, "rc": rc, "wall_s": wall, "cpu_s": cpu,
                   "rss_kb": rss,
                   "out_bytes": os.path.getsize(outf) if outf and os.path.exists(outf) else None,
                   "check": peers.parse_check(so), "fields": fields(so) if tool == OURS else {},
                   "stderr_tail": se[-400:] if rc else ""}
            raw.append(rec)
            rawf.write(json.dumps(rec) + "\n")
            rawf.flush()
            print("rep %d %-6s %-16s %-10s R=%-6d rc=%d %7.2fs %7.0fMB %s" % (
                rep, g, tool, mode, r, rc, wall, rss / 1024, "" if rc == 0 else (se or so)[-300:]), flush=True)
    return raw


def declared_dimension(path):
    import openpyxl
    wb = openpyxl.load_workbook(path, read_only=True)
    return wb.worksheets[0].calculate_dimension() if hasattr(wb.worksheets[0], "calculate_dimension") else "?"


def verify_ignoring_dimension(path, r, a1):
    """The peers' cell-by-cell check, but over the rows and cells the sheet really holds (openpyxl read_only
    otherwise reads only the range the sheet's dimension element declares)."""
    import openpyxl
    wb = openpyxl.load_workbook(path, read_only=True)
    ws = wb.worksheets[0]
    ws.reset_dimensions()
    n = 0
    for n, vals in enumerate(ws.iter_rows(values_only=True), start=1):
        if n > r:
            return "extra row %d" % n
        want = peers.row(n)
        if n == 1 and a1 is not None:
            want[0] = a1
        got = list(vals) + [None] * (10 - len(vals))
        for j, (gv, w) in enumerate(zip(got, want)):
            ok = (type(gv) is bool and gv == w) if isinstance(w, bool) else \
                 (type(gv) is str and gv == w) if isinstance(w, str) else \
                 (type(gv) in (int, float) and peers.close(gv, w))
            if not ok:
                return "row %d col %d: got %r want %r" % (n, j + 1, gv, w)
    return None if n == r else "only %d rows" % n


def check_results(mx, raw):
    """Every written or modified file of the last rep read back cell by cell; every checksum of every rep."""
    faults, notes = [], {}
    want = {r: expected(r) for r in SIZES}
    for (g, tool, mode, r, _cwd, _argv, outf) in mx:
        key = (g, tool, mode, r)
        if outf:
            if not os.path.exists(outf):
                faults.append("%s: no output" % (key,))
                continue
            a1 = 42 if g == "modify" else None
            err = peers.verify_file(outf, r, a1=a1)
            if err:
                # Tell a file whose cells are right but whose declared size is wrong from one with wrong cells.
                again = verify_ignoring_dimension(outf, r, a1)
                err += "; with the declared dimension (%s) ignored: %s" % (
                    declared_dimension(outf), again or "every cell right")
                faults.append("%s: %s" % (key, err))
            notes[key] = peers.describe(outf)
        for rec in raw:
            if (rec["group"], rec["tool"], rec["mode"], rec["R"]) != key:
                continue
            if rec["rc"] != 0:
                faults.append("%s rep %d: exit %d %s" % (key, rec["rep"], rec["rc"], rec["stderr_tail"][-200:]))
            elif g == "read" and mode != "L-read":
                c, e = rec["check"], want[r]
                if not c or not peers.close(c[0], e.num) or c[1:] != (e.slen, e.ntrue, e.ncells):
                    faults.append("%s rep %d: checksum %r != expected %s" % (key, rec["rep"], c, e.line()))
            elif tool == OURS and "check" in rec["fields"] and rec["fields"]["check"] != "ok":
                faults.append("%s rep %d: its own check failed" % (key, rec["rep"]))
    return faults, notes


def medians(raw):
    groups = {}
    for rec in raw:
        if rec["rc"] == 0:
            groups.setdefault((rec["group"], rec["tool"], rec["mode"], rec["R"]), []).append(rec)
    med = {}
    for k, v in groups.items():
        def fmed(name, v=v):
            return statistics.median(float(x["fields"][name]) for x in v) if name in v[0]["fields"] else None
        med[k] = {"wall": statistics.median(x["wall_s"] for x in v), "cpu": statistics.median(x["cpu_s"] for x in v),
                  "rss": statistics.median(x["rss_kb"] for x in v) / 1024,
                  "mb": statistics.median(x["out_bytes"] for x in v) / 1e6 if v[0]["out_bytes"] else None,
                  "n": len(v), "f": fmed}
    return med


def our_figures(k, m, med):
    """For our rows: the wall and RSS figures to report and a note on what they are."""
    g, _tool, mode, r = k
    wall, rss, note = m["wall"], m["rss"], ""
    f = m["f"]
    if mode == "L-write" and f("total_s") is not None:
        # The process also reads its file back to check it: report the create-fill-save part alone.
        wall, rss = f("total_s"), f("peak_mb")
        note = "in-process create+fill+save (process %.2f s incl. read-back); fill %.0f ns/cell, save %.2f s" % (
            m["wall"], f("ns_per_cell"), f("save_s"))
    elif mode == "L-read" and f("open_parse_s") is not None:
        note = "open+parse %.2f s, cells %.0f ns/cell" % (f("open_parse_s"), f("ns_per_cell"))
    elif mode == "L-random" and f("ns_per_cell") is not None:
        note = "open+parse %.2f s; %.3f us/cell beyond the open" % (f("open_parse_s"), f("ns_per_cell") / 1000)
    elif mode == "S-random" and f("us_per_cell") is not None:
        opened = med.get((g, OURS, "S-open", r))
        by_process = (m["wall"] - opened["wall"]) * 1e6 / RANDOM_CELLS if opened else float("nan")
        note = "in-script (processor time): open %.2f s, %.3f us/cell beyond the open; process wall minus the " \
               "open-only run: %.1f us/cell (wall has 10 ms steps, i.e. 1 us/cell, plus the noise of two opens)" % (
                   f("open_s"), f("us_per_cell"), by_process)
    elif mode == "S-open" and f("open_s") is not None:
        note = "open + first cell only; in-script %.2f s" % f("open_s")
    return wall, rss, note


def floor_figure(med, mode, name):
    m = med.get(("floor", OURS, mode, peers.MAIN_R))
    return m["f"](name) if m else None


def floor_note(k, m, med):
    """The floors beside one of our figures (main size only): deflate under a write or modify, the cost of
    faulting in the process's peak memory under a read, the random-load latency under random access."""
    g, tool, mode, r = k
    if tool != OURS or r != peers.MAIN_R:
        return ""
    one, two = floor_figure(med, "F-deflate", "one_s"), floor_figure(med, "F-deflate", "two_s")
    fault = floor_figure(med, "F-fault", "first_us_per_4k_page")
    huge = floor_figure(med, "F-hugepopulate", "us_per_4k_page")
    if g in ("write", "modify") and one:
        return "floor: deflate %.3f s on one processor (x%.2f), %.3f s on two" % (one, m["wall"] / one, two)
    if g == "read" and fault and huge:
        pages = m["rss"] * 256
        return "floor: its %.0f MB new in 4 KB pages %.2f s, populated again in huge pages %.2f s" % (
            m["rss"], pages * fault / 1e6, pages * huge / 1e6)
    if mode == "S-random" and m["f"]("us_per_cell") is not None:
        ns, ns4k = floor_figure(med, "F-latency-huge", "ns_per_load"), floor_figure(med, "F-latency", "ns_per_load")
        if ns and ns4k:
            return "floor: random load %.0f ns in huge pages (x%.1f), %.0f ns in 4 KB pages" % (
                ns, m["f"]("us_per_cell") * 1000 / ns, ns4k)
    return ""


def table(mx, med, notes):
    fastest = {}
    for (g, tool, _mode, r), m in med.items():
        if tool != OURS:
            fastest[(g, r)] = min(fastest.get((g, r), m["wall"]), m["wall"])
    lines = ["| group | tool | mode | R | wall s | x fastest peer | cpu s | peak RSS MB | file MB | runs | notes |",
             "|---|---|---|---|---|---|---|---|---|---|---|"]
    figures = {}
    for (g, tool, mode, r, *_x) in mx:
        k = (g, tool, mode, r)
        if g == "floor":
            continue
        if k not in med:
            lines.append("| %s | %s | %s | %d | FAILED | | | | | 0 | |" % k)
            continue
        m = med[k]
        wall, rss, note = our_figures(k, m, med) if tool == OURS else (m["wall"], m["rss"], "")
        figures[k] = (wall, rss)
        ratio = "%.2f" % (wall / fastest[(g, r)]) if fastest.get((g, r)) else "-"
        note = "; ".join(x for x in (note, floor_note(k, m, med), notes.get(k, "")) if x)
        lines.append("| %s | %s | %s | %d | %.3f | %s | %.2f | %.0f | %s | %d | %s |" % (
            g, tool if tool != OURS else "**ours**", mode, r, wall, ratio, m["cpu"], rss,
            "%.2f" % m["mb"] if m["mb"] else "-", m["n"], note))
    return lines, figures, fastest


def verdicts(figures, fastest, med):
    """The targets of the benchmark ids, at every size (the main size is the largest)."""
    lines = ["| R | id | target | measured | verdict |", "|---|---|---|---|---|"]

    def add(r, ident, target, measured, ok):
        verdict = "not judged (the peer took under the timer's 10 ms)" if ok is None else "met" if ok else "**MISSED**"
        lines.append("| %d | %s | %s | %s | %s |" % (r, ident, target, measured, verdict))

    def against(w, best, share):
        """The measured text and the verdict of w against a share of the peer's best (None: best untimed)."""
        if best <= 0:
            return "%.3f s" % w, None
        return "%.3f s = %.2f x" % (w, w / best), w <= best * share if share < 1 else w < best

    for r in SIZES:
        get = lambda g, mode: figures.get((g, OURS, mode, r))
        peer = lambda g, tool, mode: figures.get((g, tool, mode, r))
        lxw = peer("write", "libxlsxwriter(C)", "normal")
        if get("write", "L-write") and lxw:
            add(r, "L-write", "faster than libxlsxwriter normal (%.3f s)" % lxw[0],
                *against(get("write", "L-write")[0], lxw[0], 1))
        if get("write", "S-write") and ("write", r) in fastest:
            best = fastest[("write", r)]
            add(r, "S-write", "faster than the fastest peer write (%.3f s)" % best, *against(get("write", "S-write")[0], best, 1))
        for mode in ("S-read", "S-range"):
            if get("read", mode) and ("read", r) in fastest:
                best = fastest[("read", r)]
                add(r, mode, "at most 1/3 of the fastest peer reader (%.3f s)" % best,
                    *against(get("read", mode)[0], best, 1 / 3))
        m = med.get(("random", OURS, "S-random", r))
        # The sheet may live in huge pages or in 4 KB pages (host/regions.h): the lower floor of the two.
        floors_ns = [floor_figure(med, mode, "ns_per_load") for mode in ("F-latency", "F-latency-huge")]
        ns = min(x for x in floors_ns if x) if any(floors_ns) else None
        if m and m["f"]("us_per_cell") is not None and ns and r == peers.MAIN_R:
            us = m["f"]("us_per_cell")
            add(r, "S-random", "at most 5 x the random-load latency floor (%.0f ns, the lower of 4 KB and huge "
                "pages)" % ns,
                "%.3f us/cell (in-script) = %.1f x" % (us, us * 1000 / ns), us * 1000 <= 5 * ns)
        if get("modify", "S-modify") and ("modify", r) in fastest:
            best = fastest[("modify", r)]
            add(r, "S-modify", "at most 1/8 of the fastest peer (%.3f s)" % best,
                *against(get("modify", "S-modify")[0], best, 1 / 8))
            one = floor_figure(med, "F-deflate", "one_s")
            if one and r == peers.MAIN_R:
                w = get("modify", "S-modify")[0]
                add(r, "S-modify", "at most 3 x the deflate floor on one processor (%.3f s)" % one,
                    "%.3f s = %.2f x" % (w, w / one), w <= 3 * one)
        whole = [peer("read", "SheetJS", "readFile"), peer("read", "openpyxl", "normal"), peer("read", "exceljs", "normal")]
        whole = [x[1] for x in whole if x]
        for g, mode in (("read", "S-read"), ("modify", "S-modify")):
            if get(g, mode) and whole:
                rss = get(g, mode)[1]
                add(r, "memory (%s)" % mode, "below every whole-sheet peer reader (min %.0f MB)" % min(whole),
                    "%.0f MB" % rss, rss < min(whole))
    return lines


def layer_benchmarks():
    """The XML and package benchmarks of bench/xml and bench/package, run once each at the largest size
    (they take their own medians inside); their output is quoted as it is."""
    runs = [("XML parse/write (bench/xml)", [os.path.join(BUILD, "bench", "xml", "xml_bench"), str(peers.MAIN_R), "3"]),
            ("package open/save (bench/package, on the read input)",
             [os.path.join(BUILD, "bench", "package", "package_bench"), peers.INPUT, "3"])]
    lines = []
    for title, argv in runs:
        if not os.path.exists(argv[0]):
            continue
        p = peers.subprocess.run(argv, capture_output=True, text=True, timeout=peers.TIMEOUT)
        body = (p.stdout + (p.stderr if p.returncode else "")).strip()
        lines += ["", "%s, exit %d:" % (title, p.returncode), "", "```", body, "```"]
    return lines


def floors(med):
    lines = ["", "Floors measured in every rep of this run (bench/floors; medians of the reps, each the median of "
             "5 inside the process; blocks of %d MB, the size of the loaded sheet). New memory: the first run gets "
             "memory the system has not used for a while, which the virtual machine's host must back again; the "
             "later ones get the memory the run before just returned" % loaded_mb(peers.MAIN_R), "",
             "| floor | figure |", "|---|---|"]
    pages = "%.3f s, %.2f us per 4 KB page / %.3f s, %.2f us"
    both = ("first_s", "first_us_per_4k_page", "s", "us_per_4k_page")
    rows = [("new memory touched page by page (4 KB page faults): first run / again", "F-fault", pages, both),
            ("the same populated in one call (MAP_POPULATE): first run / again", "F-populate", pages, both),
            ("the same in huge pages, populated in one call: first run / again", "F-hugepopulate", pages, both),
            ("random-load latency, 4 KB pages", "F-latency", "%.1f ns", ("ns_per_load",)),
            ("random-load latency, huge pages", "F-latency-huge", "%.1f ns", ("ns_per_load",)),
            ("random-load latency in a 4 MB block", "F-latency-cache", "%.1f ns", ("ns_per_load",)),
            ("libdeflate level 6 on the sheet XML, one processor", "F-deflate", "%.3f s", ("one_s",)),
            ("libdeflate level 6 on the sheet XML, two processors (halves at once)", "F-deflate", "%.3f s",
             ("two_s",))]
    for title, mode, fmt, names in rows:
        values = [floor_figure(med, mode, n) for n in names]
        lines.append("| %s | %s |" % (title, fmt % tuple(values) if None not in values else "not measured"))
    try:
        lim = peers.limits()
    except Exception as e:  # the floors' own division fails on tiny smoke inputs
        return lines + ["", "Peers' limits not measured: %s" % e]
    lines += ["", "The peers' limits tool on the largest input (median of 3 runs)", "",
              "| part | op | bytes in | bytes out | seconds |", "|---|---|---|---|---|"]
    for (f, op), v in lim.items():
        lines.append("| %s | %s | %d | %d | %.4f |" % (f, op, v["in"], v["out"], statistics.median(v["s"])))
    return lines


def memory_per_cell():
    """Bytes per cell of the loaded main-size sheet, part by part (bench/sheet/sheet_memory), quoted as it is."""
    if not os.path.exists(SHEET_MEMORY):
        return []
    p = subprocess.run([SHEET_MEMORY, input_file(peers.MAIN_R), str(peers.MAIN_R)], capture_output=True, text=True,
                       timeout=peers.TIMEOUT)
    return ["", "Memory of the loaded sheet (bench/sheet/sheet_memory), exit %d:" % p.returncode, "",
            (p.stdout + (p.stderr if p.returncode else "")).strip()]


def main():
    os.makedirs(RES, exist_ok=True)
    t0 = time.time()
    prepare()
    mx = full_matrix()
    with open(os.path.join(RES, "raw.jsonl"), "w") as rawf:
        raw = run_matrix(mx, rawf)
    print("matrix done in %.0fs; checking results" % (time.time() - t0), flush=True)
    faults, notes = check_results(mx, raw)
    notes["input"] = peers.describe(peers.INPUT)
    med = medians(raw)
    lines, figures, fastest = table(mx, med, notes)
    lines = ["Wall s: median process 'Elapsed' of %d reps (/usr/bin/time -v), except L-write (see its note); "
             "x fastest peer: against the fastest peer of the same group and R in this run; cpu s: median user + system "
             "time of the process, all threads (node and python peers run helper threads). Read/modify input: "
             "libxlsxwriter normal mode (%s at R=%d)." % (REPS, notes["input"], peers.MAIN_R), ""] + lines
    lines += ["", "Targets", ""] + verdicts(figures, fastest, med)
    lines += floors(med)
    lines += memory_per_cell()
    lines += layer_benchmarks()
    lines += ["", "Correctness faults: %s" % ("none" if not faults else "")] + ["- " + f for f in faults]
    with open(os.path.join(PEERS_SRC, "..", "versions.txt")) as fh:
        lines += ["", fh.read().strip()]
    lines += ["Machine: %d cores, %s; load at end %s; reps=%d; total %.0fs" % (
        os.cpu_count(), open("/proc/meminfo").readline().split(":")[1].strip(),
        open("/proc/loadavg").read().split()[:3], REPS, time.time() - t0)]
    text = "\n".join(lines)
    with open(os.path.join(RES, "summary.md"), "w") as fh:
        fh.write(text + "\n")
    print(text)
    return 1 if faults or len(med) != len(mx) else 0


if __name__ == "__main__":
    sys.exit(main())
