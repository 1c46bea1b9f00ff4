#!/usr/bin/env python3
"""Applies the deliberate faults of faults.txt one at a time to a copy of the repository, rebuilds and runs
the tests, and records which test caught each fault (README.md describes the stages and the result file).

usage: run_faults.py --src SRC --build BUILD [--asan ASAN_BUILD] [--late REGEX] [--only ID,...]
                     [--faults FILE] [--jobs N] --out RESULTS.tsv
       run_faults.py --src SRC --check [--faults FILE]
"""
import argparse
import os
import re
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
LAYERS = ["lib/base", "lib/xml", "lib/package", "lib/sheet", "lib/document", "plugin", "host"]
# The highest layer each test program of the old and the new suite links.
PROGRAM_LAYER = {"base_tests": 0, "xml_tests": 1, "package_tests": 2, "sheet_values_tests": 3, "sheet_tests": 3,
                 "document_tests": 4, "faults_tests": 4, "hostile_tests": 4}
SANITIZER_ENV = {"ASAN_OPTIONS": "detect_leaks=1:abort_on_error=1:strict_string_checks=1",
                 "UBSAN_OPTIONS": "print_stacktrace=1:halt_on_error=1"}


def read_faults(path):
    """The blocks of the file (blank lines between them, "#" lines left out) as {key: value}."""
    faults = []
    for block in re.split(r"\n\s*\n", open(path, encoding="utf-8").read()):
        lines = [line for line in block.splitlines() if line.strip() and not line.startswith("#")]
        if lines:
            faults.append({key: value.replace("\\n", "\n") for key, _, value in (l.partition(": ") for l in lines)})
    return faults


def run(command, log, env=None, timeout=7200):
    merged = dict(os.environ, **(env or {}))
    with open(log, "a") as out:
        out.write("$ %s\n" % " ".join(command))
        out.flush()
        try:
            done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=merged,
                                  timeout=timeout, universal_newlines=True, errors="replace")
        except subprocess.TimeoutExpired:
            out.write("timed out\n")
            return 124, ""
        out.write(done.stdout)
    return done.returncode, done.stdout


def failed_tests(output):
    """Names listed after CTest's "The following tests FAILED:"."""
    names, listing = [], False
    for line in output.splitlines():
        if "The following tests FAILED" in line:
            listing = True
        elif listing:
            match = re.match(r"\s*\d+ - (\S+)", line)
            if match:
                names.append(match.group(1))
    return names


def layer_of(path):
    return max([i for i, layer in enumerate(LAYERS) if path.startswith(layer + "/")] + [0])


def tests_by_layer(build):
    """[(test number, name, program, layer of its program)] of the build."""
    _, output = run(["ctest", "--test-dir", build, "-N", "-V"], os.devnull)
    tests, program = [], None
    for line in output.splitlines():
        match = re.match(r"\d+: Test command: (\S+)", line)
        if match:
            program = os.path.basename(match.group(1).strip('"'))
        match = re.match(r"\s*Test\s+#(\d+): (\S+)", line)
        if match:
            if program is None:  # a test program not built yet has no command
                sys.exit("run_faults.py: %s has no test command in %s; build every test first" % (match.group(2), build))
            tests.append((int(match.group(1)), match.group(2), program,
                          PROGRAM_LAYER.get(program, len(LAYERS))))
            program = None
    return tests


def test_groups(build, layer, pattern, late):
    """The tests that can see a fault of the layer, grouped by program, lowest layer first:
    [(build target or None for everything, [test numbers])]."""
    groups = {}
    for number, name, program, level in tests_by_layer(build):
        if level < layer or (re.search(pattern, name) is not None) != late:
            continue
        # A test program is its own build target; scripts and peers need everything built.
        key = (level, program if program.endswith("_tests") else "~")
        groups.setdefault(key, []).append(str(number))
    return [(None if key[1] == "~" else key[1], numbers) for key, numbers in sorted(groups.items())]


def catch(build, jobs, layer, late_pattern, late, log, env=None):
    """Builds and runs the tests one program at a time, cheapest first, until one fails; the failing tests,
    ["(build failed)"], or [] when nothing fails."""
    chosen = os.path.join(build, "fault-tests.txt")
    cost = os.path.join(build, "Testing", "Temporary", "CTestCostData.txt")
    for target, numbers in test_groups(build, layer, late_pattern or "^$", late):
        command = ["cmake", "--build", build, "-j", jobs] + (["--target", target] if target else [])
        code, _ = run(command, log)
        if code != 0:
            return ["(build failed)"]
        with open(chosen, "w") as out:
            out.write("0,0,0," + ",".join(numbers) + "\n")
        # Without cost data CTest starts the tests in the order they are listed.
        if os.path.exists(cost):
            os.remove(cost)
        command = ["ctest", "--test-dir", build, "-j", "2", "--timeout", "900", "--stop-on-failure", "-I", chosen]
        code, output = run(command, log, env)
        names = failed_tests(output)
        if code != 0 and not names:
            names = ["(ctest exit %d)" % code]
        if names:
            return names
    return []


def apply(src, fault):
    path = os.path.join(src, fault["file"])
    text = open(path, encoding="utf-8").read()
    if text.count(fault["find"]) != 1:
        return None, None
    return path, text


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--src", required=True)
    parser.add_argument("--build")
    parser.add_argument("--asan")
    parser.add_argument("--late")
    parser.add_argument("--only")
    parser.add_argument("--jobs", default="2", help="build jobs (default 2)")
    parser.add_argument("--faults", default=os.path.join(HERE, "faults.txt"))
    parser.add_argument("--out")
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args()
    # Stopped by a signal (also when started in the background, where SIGINT is ignored), the script still
    # puts the faulted file back.
    for number in (signal.SIGINT, signal.SIGTERM):
        signal.signal(number, signal.default_int_handler)
    faults = read_faults(args.faults)
    args.build, args.asan = [os.path.abspath(b) if b else b for b in (args.build, args.asan)]
    if args.only:
        wanted = set(args.only.split(","))
        faults = [f for f in faults if f["id"] in wanted]
    if args.check:
        for fault in faults:
            path, _ = apply(args.src, fault)
            print("%-40s %s" % (fault["id"], "ok" if path else "not applicable"))
        return 0
    done = set()
    if os.path.exists(args.out):
        done = {line.split("\t")[0] for line in open(args.out) if line.strip()}
    log = args.out + ".log"
    for fault in faults:
        if fault["id"] in done:
            continue
        started = time.time()
        path, original = apply(args.src, fault)
        where, names = "-", []
        if not path:
            outcome = "not applicable"
        else:
            with open(log, "a") as out:
                out.write("\n=== %s\n" % fault["id"])
            try:
                with open(path, "w", encoding="utf-8") as out:
                    out.write(original.replace(fault["find"], fault["replace"]))
                layer = layer_of(fault["file"])
                for where, build, late, env in (("normal", args.build, False, None),
                                                ("sanitizers", args.asan, False, SANITIZER_ENV),
                                                ("late", args.build, True, None)):
                    if not build or (late and not args.late):
                        continue
                    names = catch(build, args.jobs, layer, args.late, late, log, env)
                    if names:
                        break
            finally:
                with open(path, "w", encoding="utf-8") as out:
                    out.write(original)
            # A tree that does not build proves nothing about the tests: said apart, never counted as caught.
            outcome = "build failed" if names == ["(build failed)"] else "caught" if names else "missed"
            where = where if names else "-"
        line = "\t".join([fault["id"], fault["file"], outcome, where, "%.0f" % (time.time() - started),
                          " ".join(names[:3])])
        print(line, flush=True)
        with open(args.out, "a") as out:
            out.write(line + "\n")
    for build in (args.build, args.asan):
        if build:
            run(["cmake", "--build", build, "-j", args.jobs], log)
    return 0


if __name__ == "__main__":
    sys.exit(main())
