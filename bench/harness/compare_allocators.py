"""Compares ways of obtaining the plugin's memory on the script benchmarks, in one run, variants alternating.

usage: compare_allocators.py [--pause S] REPS IN.xlsx R VARIANT=KORVADEL[:ENV=VALUE,...] ...
  --pause S leaves the machine idle for S seconds before every run, so that each run starts on memory the
            system has not used for a while (on these virtual machines: memory the host must back again)
  IN.xlsx   the read/modify input (the file libxlsxwriter writes for R rows)
  VARIANT   a name, the korvadel binary to run and the environment it runs with, e.g.
            glibc=build-plain/host/korvadel
            glibc-thp=build-plain/host/korvadel:GLIBC_TUNABLES=glibc.malloc.hugetlb=1
            jemalloc=build-plain/host/korvadel:LD_PRELOAD=/usr/lib/x86_64-linux-gnu/libjemalloc.so.2,MALLOC_CONF=thp:always
            regions=build-bench/host/korvadel
Every rep runs every benchmark with every variant, so machine noise spreads over all of them. Prints the
medians (wall seconds, processor seconds (user + system), peak RSS MB; S-random in microseconds per cell)
and each variant's ratio to the first.
"""
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPTS = os.path.join(os.path.dirname(HERE), "scripts")


def parse_variant(text):
    name, rest = text.split("=", 1)
    binary, _, env_text = rest.partition(":")
    env = dict(os.environ)
    for pair in filter(None, env_text.split(",")):
        key, value = pair.split("=", 1)
        env[key] = value
    return name, os.path.abspath(binary), env


PAUSE = 0.0


def run(binary, env, script, args):
    time.sleep(PAUSE)
    with tempfile.NamedTemporaryFile() as tf:
        p = subprocess.run(["/usr/bin/time", "-f", "%e %U %S %M", "-o", tf.name, binary, os.path.join(SCRIPTS, script)] + args,
                           env=env, capture_output=True, text=True)
        wall, user, system, rss = open(tf.name).read().split()[-4:]
    if p.returncode:
        raise SystemExit("%s %s failed: %s" % (binary, script, p.stderr[-400:]))
    us = re.search(r"us_per_cell=([0-9.]+)", p.stdout)
    return float(wall), int(rss) / 1024, float(us.group(1)) if us else None, float(user) + float(system)


def main():
    global PAUSE
    argv = sys.argv[1:]
    if argv[0] == "--pause":
        PAUSE, argv = float(argv[1]), argv[2:]
    reps, source, rows = int(argv[0]), argv[1], argv[2]
    variants = [parse_variant(v) for v in argv[3:]]
    out = tempfile.mkdtemp()
    benches = [("S-write", "s_write.lua", lambda n: [rows, os.path.join(out, n + ".xlsx")]),
               ("S-read", "s_read.lua", lambda n: [source]),
               ("S-modify", "s_modify.lua", lambda n: [source, os.path.join(out, n + "-m.xlsx")]),
               ("S-random", "s_random.lua", lambda n: [source, "10000"])]
    results = {}
    for rep in range(reps):
        for bench, script, args in benches:
            for name, binary, env in variants:
                results.setdefault((bench, name), []).append(run(binary, env, script, args(name)))
        print("rep %d done" % (rep + 1), file=sys.stderr, flush=True)
    print("| benchmark | " + " | ".join(v[0] for v in variants) + " |")
    print("|---|" + "---|" * len(variants))
    for bench, _script, _args in benches:
        cells, first = [], None
        for name, _b, _e in variants:
            runs = results[(bench, name)]
            figure = statistics.median(r[2] if bench == "S-random" else r[0] for r in runs)
            rss = statistics.median(r[1] for r in runs)
            cpu = statistics.median(r[3] for r in runs)
            first = (figure, cpu) if first is None else first
            unit = "us/cell" if bench == "S-random" else "s"
            cells.append("%.3f %s (%.2f), cpu %.2f s (%.2f), %.0f MB" % (figure, unit, figure / first[0], cpu,
                                                                       cpu / first[1], rss))
        print("| %s | %s |" % (bench, " | ".join(cells)))


if __name__ == "__main__":
    main()
