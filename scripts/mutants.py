#!/usr/bin/env python3
"""Tries small deliberate faults (mutants) against the fast test suites.

Each mutant of the list (scripts/mutants.txt) replaces one exact snippet of one source file.
The script applies them one at a time in this tree, rebuilds only the test executables the
mutant names (incrementally, in an existing build directory), runs them, and restores the file.
A mutant is caught when a test fails (or hangs past the time limit); it survived when every test
passes. A snippet that is no longer in its file (or is there more than once) makes the mutant
stale: the list needs updating, and the run says so instead of passing it.

The tree is never left changed: every file is restored after its mutant, on an error and on
Ctrl-C; a copy of the file and a journal are kept in the build directory while it is changed, so
that a run killed outright is undone by the next one (or by --restore).

Usage: python3 scripts/mutants.py [--build-dir build] [--list scripts/mutants.txt]
                                  [--check] [--restore] [NAME ...]
"""

import argparse
import json
import os
import re
import signal
import subprocess
import sys
import time
from dataclasses import dataclass, field
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
TEST_ENV = {"QT_QPA_PLATFORM": "offscreen", "JACK_NO_START_SERVER": "1"}


@dataclass
class Run:
    executable: str
    test_filter: str = ""


@dataclass
class Mutant:
    name: str
    line: int
    file: str = ""
    original: str = ""
    replacement: str = ""
    runs: list = field(default_factory=list)
    equivalent: str = ""


class Interrupted(Exception):
    pass


def unescape(text):
    # "\n" and "\t" in a snippet stand for a newline and a tab; "\\" for a backslash.
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "t": "\t"}.get(m.group(1), m.group(1)), text)


def parse_list(path):
    """The mutants of a list file: "== NAME" starts one, "key: value" lines describe it."""
    mutants = []
    current = None
    for number, raw in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        line = raw.strip()
        if not line or line.startswith("#"):
            continue
        if line.startswith("== "):
            current = Mutant(name=line[3:].strip(), line=number)
            mutants.append(current)
            continue
        key, sep, value = raw.partition(":")
        key = key.strip()
        if current is None or not sep:
            sys.exit(f"{path}:{number}: expected '== NAME' or 'key: value'")
        # The value starts after one space; the rest of the line is taken as it is.
        value = value[1:] if value.startswith(" ") else value
        if key == "file":
            current.file = value.strip()
        elif key == "from":
            current.original = unescape(value)
        elif key == "to":
            current.replacement = unescape(value)
        elif key == "run":
            words = value.split()
            if not words or len(words) > 2:
                sys.exit(f"{path}:{number}: run: EXECUTABLE [GTEST_FILTER]")
            current.runs.append(Run(*words))
        elif key == "equivalent":
            current.equivalent = value.strip()
        else:
            sys.exit(f"{path}:{number}: unknown key '{key}'")
    names = set()
    for mutant in mutants:
        where = f"{path}:{mutant.line}: {mutant.name}"
        if not (mutant.file and mutant.original and mutant.runs):
            sys.exit(f"{where}: needs file, from and at least one run")
        if mutant.original == mutant.replacement:
            sys.exit(f"{where}: from and to are the same")
        if mutant.name in names:
            sys.exit(f"{where}: the name is used twice")
        names.add(mutant.name)
    return mutants


def snippet_state(mutant):
    """'ok', or why the mutant cannot be applied ('stale: ...')."""
    path = REPO / mutant.file
    if not path.is_file():
        return "stale: the file is gone"
    count = path.read_text(encoding="utf-8").count(mutant.original)
    if count == 0:
        return "stale: the snippet is not in the file"
    if count > 1:
        return f"stale: the snippet is in the file {count} times"
    return "ok"


class Journal:
    """The file being changed, and a copy of it, kept on disk until it is restored."""

    def __init__(self, build_dir):
        self.dir = build_dir / "mutants"
        self.path = self.dir / "journal.json"
        self.copy = self.dir / "original"

    def restore_left_over(self):
        if not self.path.exists():
            return False
        target = Path(json.loads(self.path.read_text())["file"])
        target.write_bytes(self.copy.read_bytes())
        self.path.unlink()
        print(f"restored {target.relative_to(REPO)} from a run that did not end", flush=True)
        return True

    def begin(self, target, original_bytes):
        self.dir.mkdir(parents=True, exist_ok=True)
        self.copy.write_bytes(original_bytes)
        self.path.write_text(json.dumps({"file": str(target)}))

    def end(self, target, original_bytes):
        target.write_bytes(original_bytes)
        self.path.unlink(missing_ok=True)


def run_process(command, timeout, env=None, cwd=REPO):
    """(exit status or None on timeout, output). The child gets a process group of its own, so
    that on a timeout or an interruption its own children (compilers, test threads) end too."""
    process = subprocess.Popen(command, cwd=cwd, env=env, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, start_new_session=True, text=True,
                               errors="replace")
    try:
        output, _ = process.communicate(timeout=timeout)
        return process.returncode, output
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        output, _ = process.communicate()
        return None, output
    except BaseException:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        raise


def build(build_dir, targets):
    command = ["nice", "-n", "10", "cmake", "--build", str(build_dir), "--target", *targets]
    status, output = run_process(command, timeout=1800)
    return status == 0, output


def run_tests(build_dir, run, timeout):
    """(passed, timed_out, first failing test, seconds)."""
    executable = build_dir / "tests" / run.executable
    command = [str(executable), "--gtest_brief=1", "--gtest_fail_fast"]
    if run.test_filter:
        command.append("--gtest_filter=" + run.test_filter)
    env = dict(os.environ, **TEST_ENV)
    started = time.monotonic()
    status, output = run_process(command, timeout, env=env)
    seconds = time.monotonic() - started
    if status is None:
        return False, True, "", seconds
    failed = re.findall(r"^\[  FAILED  \] (\S+)", output, re.MULTILINE)
    if status != 0 and not failed:
        failed = [f"exit status {status}"]
    return status == 0, False, failed[0] if failed else "", seconds


def describe_run(run):
    return run.executable + (f" [{run.test_filter}]" if run.test_filter else "")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build-dir", default="build",
                        help="a configured build directory (default: build)")
    parser.add_argument("--list", default=str(REPO / "scripts" / "mutants.txt"),
                        help="the list of mutants (default: scripts/mutants.txt)")
    parser.add_argument("--check", action="store_true",
                        help="only check that every snippet is still in its file, once")
    parser.add_argument("--restore", action="store_true",
                        help="only restore a file a killed run left changed")
    parser.add_argument("names", nargs="*", help="run only these mutants")
    args = parser.parse_args()

    build_dir = Path(args.build_dir)
    if not build_dir.is_absolute():
        build_dir = REPO / build_dir
    journal = Journal(build_dir)
    journal.restore_left_over()
    if args.restore:
        return 0

    mutants = parse_list(Path(args.list))
    if args.names:
        unknown = set(args.names) - {m.name for m in mutants}
        if unknown:
            sys.exit("no such mutant: " + ", ".join(sorted(unknown)))
        mutants = [m for m in mutants if m.name in args.names]

    states = {m.name: snippet_state(m) for m in mutants}
    stale = [m for m in mutants if states[m.name] != "ok"]
    if args.check:
        for mutant in stale:
            print(f"{mutant.name}: {mutant.file}: {states[mutant.name]}")
        print(f"{len(mutants) - len(stale)} of {len(mutants)} snippets found")
        return 1 if stale else 0
    if not (build_dir / "build.ninja").exists() and not (build_dir / "Makefile").exists():
        sys.exit(f"{build_dir} is no configured build directory (see the README's Development)")

    # SIGTERM and SIGHUP end the run the way Ctrl-C does: through the restoring code.
    def interrupt(signum, _frame):
        raise Interrupted(signal.Signals(signum).name)

    signal.signal(signal.SIGTERM, interrupt)
    signal.signal(signal.SIGHUP, interrupt)

    applicable = [m for m in mutants if states[m.name] == "ok"]
    targets = sorted({run.executable for m in applicable for run in m.runs})
    runs = {describe_run(run): run for m in applicable for run in m.runs}
    started = time.monotonic()

    # The unchanged tree first: every test that will judge a mutant must pass, and its time
    # sets the limit past which a mutant's run counts as a hang.
    print(f"building {' '.join(targets)} ...", flush=True)
    ok, output = build(build_dir, targets)
    if not ok:
        print(output[-4000:])
        sys.exit("the unchanged tree does not build")
    limits = {}
    for key, run in runs.items():
        passed, timed_out, failing, seconds = run_tests(build_dir, run, timeout=600)
        if not passed:
            sys.exit(f"the unchanged tree fails {key}: {failing or 'timed out'}")
        limits[key] = max(30.0, 10 * seconds)

    results = []  # (mutant, verdict, detail)
    changed_targets = set()
    try:
        for index, mutant in enumerate(mutants, 1):
            label = f"[{index}/{len(mutants)}] {mutant.name}"
            if states[mutant.name] != "ok":
                results.append((mutant, "stale", f"{mutant.file}: {states[mutant.name]}"))
                print(f"{label}: STALE ({states[mutant.name]})", flush=True)
                continue
            target = REPO / mutant.file
            original_bytes = target.read_bytes()
            text = original_bytes.decode("utf-8")
            mutant_targets = sorted({run.executable for run in mutant.runs})
            changed_targets.update(mutant_targets)
            journal.begin(target, original_bytes)
            try:
                target.write_text(text.replace(mutant.original, mutant.replacement, 1),
                                  encoding="utf-8")
                ok, output = build(build_dir, mutant_targets)
                if not ok:
                    verdict, detail = "no-build", "the mutant does not compile"
                else:
                    verdict, detail = "survived", ""
                    for run in mutant.runs:
                        passed, timed_out, failing, _ = run_tests(
                            build_dir, run, limits[describe_run(run)])
                        if not passed:
                            verdict = "caught"
                            detail = (f"{run.executable}: timed out" if timed_out
                                      else f"{run.executable}: {failing}")
                            break
            finally:
                journal.end(target, original_bytes)
            if verdict == "survived" and mutant.equivalent:
                verdict, detail = "equivalent", mutant.equivalent
            results.append((mutant, verdict, detail))
            print(f"{label}: {verdict.upper()}" + (f" ({detail})" if detail else ""), flush=True)
    except (KeyboardInterrupt, Interrupted):
        print("\ninterrupted: every file is restored", flush=True)
    finally:
        # The build directory holds the last mutant's objects: build the restored sources again,
        # so that nothing run from it afterwards is a mutant.
        if changed_targets:
            print("rebuilding the restored tree ...", flush=True)
            build(build_dir, sorted(changed_targets))

    counts = {}
    for _, verdict, _ in results:
        counts[verdict] = counts.get(verdict, 0) + 1
    judged = counts.get("caught", 0) + counts.get("survived", 0)
    print()
    for mutant, verdict, detail in results:
        if verdict != "caught":
            print(f"{verdict:10} {mutant.name}: {mutant.file}" + (f": {detail}" if detail else ""))
    print(f"{counts.get('caught', 0)} of {judged} mutants caught"
          f" ({counts.get('survived', 0)} survived, {counts.get('equivalent', 0)} equivalent,"
          f" {counts.get('stale', 0)} stale, {counts.get('no-build', 0)} not building;"
          f" {len(results)} of {len(mutants)} tried) in {time.monotonic() - started:.0f} s")
    finished = len(results) == len(mutants)
    return 0 if finished and judged == counts.get("caught", 0) and not (
        counts.get("stale") or counts.get("no-build")) else 1


if __name__ == "__main__":
    sys.exit(main())
