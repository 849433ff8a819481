#!/usr/bin/env python3
"""The Windows build's tests under Wine, beside the same tests on Linux, as one table.

Every test program of the Windows build (build/mingw/bin/*_test.exe) runs under Wine in a fresh
prefix of its own; the program of the same name in the Linux build runs on its simulated PCs.
Each test case either passes under Wine or is listed in differences.txt, with the reason, as a
known difference of Wine. The run fails on a test that fails under Wine unlisted, on a listed
test that passes (the list is kept honest), and on a Windows test that fails on Linux (where the
Linux program has it too). A listed test whose reason starts "(not run)" is left out under Wine
(it would wait for ever, or leave its process broken for the tests after it) and counts as
marked; one whose reason starts "(intermittent)" may pass.

usage: run.py [--windows build/mingw] [--linux build/debug] [--only NAME...] [--filter PATTERN] [--keep]
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent.parent
PROGRAM_SECONDS = 300

# The programs that talk to the router: routersim from the Linux build serves them on
# 127.0.0.1:21 (the kit's FTP client always dials port 21; root may listen there), its state
# folder named to the program in KIT_ROUTER_STATE.
ROUTER_PROGRAMS = {"modem_transfers_test"}
ROUTER_ADDRESS = "127.0.0.1"

# Wine without its Mono and Gecko installers, quiet; its windows go to a virtual screen of our
# own (Xvfb), never to the caller's display.
WINE_ENVIRONMENT = {
    "WINEDEBUG": "-all",
    "WINEDLLOVERRIDES": "mscoree,mshtml=",
}


def first_tool(*names):
    for name in names:
        path = shutil.which(name) or (name if os.access(name, os.X_OK) else None)
        if path:
            return path
    return None


def read_differences(path):
    """{"Suite.Test": reason} from lines "Suite.Test  reason"; '#' starts a comment."""
    differences = {}
    for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        line = line.split("#", 1)[0].strip()
        if not line:
            continue
        parts = line.split(None, 1)
        if len(parts) < 2:
            sys.exit(f"{path}:{number}: a listed test needs its reason")
        differences[parts[0]] = parts[1]
    return differences


def results_of(xml_path):
    """{"Suite.Test": "passed" | "failed" | "skipped"} from GoogleTest's XML report."""
    results = {}
    if not xml_path.exists():
        return results
    # Failure messages quote the programs' own Windows 1252 text inside a file declared UTF-8.
    data = xml_path.read_bytes()
    try:
        tree = ElementTree.ElementTree(ElementTree.fromstring(data))
    except ElementTree.ParseError:
        text = data.decode("cp1252", errors="replace").replace('encoding="UTF-8"', "", 1)
        try:
            tree = ElementTree.ElementTree(ElementTree.fromstring(text))
        except ElementTree.ParseError:
            return results
    for case in tree.iter("testcase"):
        name = f"{case.get('classname')}.{case.get('name')}"
        if case.get("status") == "notrun" or case.get("result") == "skipped" or case.find("skipped") is not None:
            results[name] = "skipped"
        elif case.find("failure") is not None:
            results[name] = "failed"
        else:
            results[name] = "passed"
    return results


def passed_in_log(log_path):
    """{"Suite.Test": "passed"} from GoogleTest's "[       OK ]" lines: what a killed program did."""
    results = {}
    if log_path.exists():
        for line in log_path.read_text(errors="replace").splitlines():
            if line.startswith("[       OK ] "):
                results[line[13:].split(" (")[0].strip()] = "passed"
    return results


def left_out(differences):
    """The listed tests not to run under Wine."""
    return sorted(case for case, reason in differences.items() if reason.startswith("(not run)"))


def gtest_filter(pattern, excluded):
    """A --gtest_filter argument running `pattern` (all when empty) but not `excluded`."""
    if not pattern and not excluded:
        return []
    positive, _, negative = (pattern or "*").partition("-")
    negatives = [n for n in negative.split(":") if n] + list(excluded)
    return [f"--gtest_filter={positive}" + ("-" + ":".join(negatives) if negatives else "")]


def listed_tests(command, env):
    """The test cases a program has, by --gtest_list_tests."""
    try:
        out = subprocess.run(command + ["--gtest_list_tests"], env=env, capture_output=True, timeout=120,
                             text=True, errors="replace").stdout
    except subprocess.TimeoutExpired:
        return []
    tests, suite = [], None
    for line in out.replace("\r", "").splitlines():
        if not line.strip() or line.startswith("Running main"):
            continue
        if not line.startswith(" "):
            suite = line.split("#")[0].strip().rstrip(".")
        elif suite:
            tests.append(f"{suite}.{line.split('#')[0].strip()}")
    return tests


def run_program(command, env, xml_path, log_path, cwd, windows=False, seconds=PROGRAM_SECONDS):
    """Runs one test program; its log is kept beside the report. False when it had to be killed."""
    # Wine's Z: drive is the host's root.
    report = windows_path(xml_path) if windows else str(xml_path)
    with open(log_path, "wb") as log:
        try:
            subprocess.run(command + [f"--gtest_output=xml:{report}"], env=env, stdout=log,
                           stderr=subprocess.STDOUT, timeout=seconds, cwd=cwd)
            return True
        except subprocess.TimeoutExpired:
            log.write(b"\n*** killed: no end within the time allowed\n")
            return False


def windows_path(path):
    """A host path as Windows programs under Wine name it (Z: is the host's root)."""
    return "Z:" + str(path).replace("/", "\\")


class Screen:
    """A virtual X screen (Xvfb, 24 bits) for Wine's windows and GDI; without Xvfb, none (Wine
    then has only its 1-bit null display)."""

    def __init__(self):
        self.process = None
        self.display = None
        xvfb = shutil.which("Xvfb")
        if not xvfb:
            print("wine: Xvfb not installed (Debian package xvfb): no screen for Wine", flush=True)
            return
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen([xvfb, "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                                         "-nolisten", "tcp"], pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            number = numbers.readline().strip()
        if number:
            self.display = f":{number}"

    def stop(self):
        if self.process:
            self.process.terminate()
            self.process.wait(timeout=30)


class Router:
    """routersim on the loopback address for one program, stopped when done."""

    def __init__(self, linux_bin, work, program):
        self.routersim = linux_bin / "routersim"
        self.state = work / f"{program}.router"
        pc = work / f"{program}.router-pc"  # the network.ini it writes goes nowhere
        self.state.mkdir()
        pc.mkdir()
        if not self.routersim.exists():
            raise RuntimeError(f"{self.routersim} missing (./kit setup builds it)")
        started = subprocess.run([str(self.routersim), "start", "--state", str(self.state), "--machine", str(pc),
                                  "--address", ROUTER_ADDRESS, "--ftp-port", "21", "--com", "0",
                                  "--restart-seconds", "0", "--detach"], capture_output=True, text=True, timeout=60)
        if started.returncode != 0:
            raise RuntimeError(f"routersim did not start: {started.stderr.strip()}")

    def stop(self):
        subprocess.run([str(self.routersim), "stop", "--state", str(self.state)], capture_output=True, timeout=60)


class Wine:
    """A fresh prefix and its server, ended and removed when done."""

    def __init__(self, work, keep):
        self.wine = first_tool("wine64", "/usr/lib/wine/wine64", "wine")
        self.server = first_tool("wineserver", "/usr/lib/wine/wineserver64", "/usr/lib/wine/wineserver")
        if not self.wine or not self.server:
            sys.exit("wine: not installed (Debian packages wine and wine64)")
        self.work = work
        self.keep = keep
        self.count = 0
        self.display = None

    def environment(self, prefix):
        env = dict(os.environ, WINEPREFIX=str(prefix), **WINE_ENVIRONMENT)
        env.pop("KIT_MACHINE", None)
        env.pop("DISPLAY", None)
        if self.display:
            env["DISPLAY"] = self.display
        return env

    def new_prefix(self):
        """A fresh prefix, made by copying one booted template (wineboot takes seconds)."""
        template = self.work / "prefix-template"
        if not template.exists():
            env = self.environment(template)
            subprocess.run([self.wine, "wineboot", "-i"], env=env, capture_output=True, timeout=300)
            self.stop(template)
        self.count += 1
        prefix = self.work / f"prefix-{self.count}"
        shutil.copytree(template, prefix, symlinks=True)
        return prefix

    def stop(self, prefix):
        env = self.environment(prefix)
        subprocess.run([self.server, "-k"], env=env, capture_output=True)
        subprocess.run([self.server, "-w"], env=env, capture_output=True)

    def done_with(self, prefix):
        self.stop(prefix)
        if not self.keep:
            shutil.rmtree(prefix, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--windows", default=str(ROOT / "build" / "mingw"))
    parser.add_argument("--linux", default=str(ROOT / "build" / "debug"))
    parser.add_argument("--only", nargs="*", default=[], help="programs to run (names without .exe)")
    parser.add_argument("--filter", default="", help="GoogleTest filter for every program (e.g. 'Suite.*')")
    parser.add_argument("--keep", action="store_true", help="keep the prefixes and logs")
    args = parser.parse_args()

    windows_bin = Path(args.windows).resolve() / "bin"
    linux_bin = Path(args.linux).resolve() / "bin"
    differences = read_differences(HERE / "differences.txt")
    programs = sorted(p.stem for p in windows_bin.glob("*_test.exe"))
    if args.only:
        programs = [p for p in programs if p in args.only]
    if not programs:
        sys.exit(f"wine: no test programs in {windows_bin} (./kit windows builds them)")

    work = Path(tempfile.mkdtemp(prefix="kit-wine-"))
    wine = Wine(work, args.keep)
    screen = Screen()
    wine.display = screen.display
    rows, problems = [], []
    filtered = gtest_filter(args.filter, left_out(differences))
    seen_listed = set()
    try:
        for program in programs:
            prefix = wine.new_prefix()
            env = wine.environment(prefix)
            windows_command = [wine.wine, str(windows_bin / f"{program}.exe")]
            wine_xml, wine_log = work / f"{program}.wine.xml", work / f"{program}.wine.log"
            router = None
            if program in ROUTER_PROGRAMS:
                try:
                    router = Router(linux_bin, work, program)
                    env["KIT_ROUTER_STATE"] = windows_path(router.state)
                except RuntimeError as error:
                    problems.append(f"{program}: {error}")
            try:
                finished = run_program(windows_command + filtered, env, wine_xml, wine_log, cwd=work, windows=True)
            finally:
                if router:
                    router.stop()
            wine_results = results_of(wine_xml) if finished else passed_in_log(wine_log)
            cases = listed_tests(windows_command + gtest_filter(args.filter, []), env) or sorted(wine_results)
            wine.done_with(prefix)

            linux_results, linux_cases = {}, set()
            linux_program = linux_bin / program
            if linux_program.exists():
                linux_env = dict(os.environ, KIT_BIN=str(linux_bin))
                linux_cases = set(listed_tests([str(linux_program)], linux_env))
                linux_xml = work / f"{program}.linux.xml"
                run_program([str(linux_program)] + gtest_filter(args.filter, []), linux_env, linux_xml,
                            work / f"{program}.linux.log", cwd=work)
                linux_results = results_of(linux_xml)

            row = {"program": program, "run": len(cases), "linux": 0, "wine": 0, "marked": 0}
            for case in cases:
                not_run = differences.get(case, "").startswith("(not run)")
                on_wine = wine_results.get(case, "not run" if not_run else "failed" if finished else "killed")
                on_linux = linux_results.get(case)
                row["linux"] += on_linux in ("passed", "skipped")
                listed = case in differences
                seen_listed.add(case) if listed else None
                if on_wine in ("passed", "skipped"):
                    row["wine"] += 1
                    # "(intermittent)" marks a race Wine loses only sometimes: passing is no news.
                    if listed and not differences[case].startswith("(intermittent)"):
                        problems.append(f"{case}: passes under Wine but is listed as a difference")
                elif listed:
                    row["marked"] += 1
                else:
                    problems.append(f"{case}: {on_wine} under Wine (log: {wine_log.name})")
                # A case of the Windows build alone (what only Windows has) is not asked of Linux;
                # a Linux program that cannot even list its cases is asked them all.
                asked_of_linux = linux_program.exists() and (case in linux_cases or not linux_cases)
                if asked_of_linux and on_linux not in ("passed", "skipped"):
                    problems.append(f"{case}: {on_linux or 'not run'} on Linux")
            rows.append(row)
            print(f"wine: {program}: {row['wine']}/{row['run']} passed, {row['marked']} marked", flush=True)
    finally:
        for prefix in work.glob("prefix-*"):
            wine.stop(prefix)
            if not args.keep:
                shutil.rmtree(prefix, ignore_errors=True)  # hundreds of megabytes each
        screen.stop()
        if args.keep:
            print(f"wine: prefixes and logs kept in {work}")

    if not args.only and not args.filter:
        for case in sorted(set(differences) - seen_listed):
            problems.append(f"{case}: listed as a difference but no Windows test has it")
    print_table(rows)
    for problem in problems:
        print(f"  problem: {problem}")
    if problems and not args.keep:
        # The logs are what tells a failure apart: keep them when something is wrong.
        print(f"wine: logs kept in {work}")
    elif not args.keep:
        shutil.rmtree(work, ignore_errors=True)
    total = sum(r["run"] for r in rows)
    failed = total - sum(r["wine"] + r["marked"] for r in rows)
    print(f"{total - failed} passed, {failed} failed")
    return 1 if problems else 0


def print_table(rows):
    header = ("program", "tests", "Linux", "Wine", "marked")
    width = max([len(header[0])] + [len(r["program"]) for r in rows])
    print(f"{header[0]:<{width}}  {header[1]:>6} {header[2]:>6} {header[3]:>6} {header[4]:>7}")
    totals = {"run": 0, "linux": 0, "wine": 0, "marked": 0}
    for r in rows:
        print(f"{r['program']:<{width}}  {r['run']:>6} {r['linux']:>6} {r['wine']:>6} {r['marked']:>7}")
        for key in totals:
            totals[key] += r[key]
    print(f"{'all':<{width}}  {totals['run']:>6} {totals['linux']:>6} {totals['wine']:>6} {totals['marked']:>7}")


if __name__ == "__main__":
    sys.exit(main())
