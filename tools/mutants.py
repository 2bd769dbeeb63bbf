#!/usr/bin/env python3
"""The mutation check: slips made one at a time in the C++ and JavaScript lines changed since a base
commit (uncommitted changes included), each built and tested in one scratch copy of the tree. Exits with 1
when the copy does not build or its tests fail without a mutant, else with 0, whatever the tally."""
import argparse
import collections
import contextlib
import ctypes
import os
import random
import re
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

SOURCE = re.compile(r"(app|combat|console(?!/windows/|/none/)|random)/.*\.(cpp|h)$|(web|console/web)/[^/]*\.js$")
WEB = ("web/", "console/web/")  # built by the web preset, tested in Chromium
NEST = r"[^()]*(?:\((?:[^()]|\([^()]*\))*\)[^()]*)*"  # text whose parentheses close, two deep at most
TERM = r"(?:[^()|&;,?]|\([^()]*\))+"  # one operand of ||
INT = r"(?<![\w.'])\d{1,9}(?![\w.'])"
ARG = r"(?:(?<=\w\()|(?<=, ))(?!null(?:ptr)?\b)[A-Za-z_][\w.]*(?:(?:->|::)\w+)*(?:\(\))?(?=[,)])"
KIND = r"\b[A-Z]\w*::[A-Z]\w*\b|\b[A-Z][A-Z0-9_]{2,}\b"  # an enumerator, or a flag such as SIGINT or O_RDWR
STATEMENT = r"^ *(?:(?:await )?[\w.:>\[\]-]+(?:\(| [-+*/%|&^]?= |\+\+|--).*|(?:\+\+|--)\w.*|break|continue|return);$"
SWAP = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "==", "===": "!==", "!==": "===",
        "&&": "||", "||": "&&", "true": "false", "false": "true", "s": "ms", "ms": "s",
        "seconds": "milliseconds", "milliseconds": "seconds", "microseconds": "milliseconds"}
# The slips: the languages each applies to (c: C++, j: JavaScript), what it matches in a line's code, and
# what takes its place: a text, or a function of the text and the game's enumerators and flags.
SLIPS = [
    ("cj", r"(?<= )(?:[<>]=?|[=!]==?|&&|\|\|)(?= )|\b(?:true|false)\b", lambda t, _: SWAP[t]),  # flipped: <, &&, true
    ("cj", rf"(?:(?<=\bif \()|(?<=\bwhile \())(?!\)){NEST}(?=\))", lambda t, _: f"!({t})"),  # a condition negated
    ("cj", r"!(?=[\w(])", ""),  # a negation dropped
    ("cj", rf" \|\| {TERM}(?=\)|;|$| \|\|| \{{)", ""),  # the right side of || dropped
    ("cj", rf"(?<=\(){TERM} \|\| ", ""),  # the left side of || dropped
    ("cj", INT, lambda t, _: str(int(t) + 1)),
    ("cj", INT, lambda t, _: str(int(t) - 1)),
    ("c", rf"{ARG}(?![^()]*\) *(?:\{{|const))", "{}"),  # an argument of a call (not a definition) defaulted
    ("j", rf"{ARG}(?![^()]*\) *(?:\{{|=>))", "null"),
    ("cj", KIND, lambda t, names: next_of_kind(t, names)),  # an enumerator or flag for another of its kind
    ("cj", r"\b(?:milli|micro)?seconds\b|(?<=\d)m?s\b", lambda t, _: SWAP[t]),  # seconds for milliseconds
    ("cj", r" [*/] 1000\b", ""),  # a conversion between them dropped
    ("cj", r"(?<=\{ )[^{};]*\([^{};]*\);(?= \})", ""),  # the call of a one-line body: a destructor, a handler
    ("j", rf"(?<==> )[\w.]+\({NEST}\)(?=[),;])", "{}"),  # the call an arrow function makes
    ("cj", STATEMENT, ""),  # a call, an assignment, a step, break, continue or return dropped
]
# The tests of a file, tried in order until one fails, the quickest first: a browser test (run in Chromium),
# the GoogleTest suites in the test files a pattern names, or a ctest regex.
COVERAGE = [
    (("web/game_store.js", "web/saved_game.js"), ["keeping_test.cjs", "browser_test.cjs", "game_link_test.cjs"]),
    (("web/game_link.js", "web/link_replay.js", "web/replay_view.js", "web/share_link.js", "web/history_view.js"),
     ["game_link_test.cjs"]),
    (WEB, ["browser_test.cjs", "game_link_test.cjs"]),
    (("console/posix/",), ["tests/posix/{stem}_test.cpp", "tests/posix/*.cpp", "^e2e_test_hostile_input$"]),
    (("",), ["tests/{stem}_test.cpp", r"\.", "^e2e_"]),
]


def next_of_kind(name, names):
    """The name after name among those of its kind: of its enumeration, or starting as it does (SIG, O_)."""
    kin = [re.match(r"\w+::|\w{1,3}_|\w{3}", n)[0] for n in (name, *names)]
    kind = sorted({n for n, k in zip(names, kin[1:]) if k == kin[0]} | {name})
    return kind[(kind.index(name) + 1) % len(kind)]


def code_of(line):
    """The line's code: the insides of its literals blanked, columns kept, and its comment cut."""
    if re.match(r"\s*(/\*|\*|#)", line):  # a block comment's line, or the preprocessor's
        return ""
    return re.sub(r"\"(?:\\.|[^\"\\])*\"|'(?:\\.|[^'\\])*'|`(?:\\.|[^`\\])*`",
                  lambda m: m[0][0] + "\0" * (len(m[0]) - 2) + m[0][-1], line).split("//")[0].rstrip()


def mutants_of(path, numbers, names):
    """Every slip of the given lines of one file, as (file, line, column, text replaced, replacement)."""
    found, starts, language = [], True, "j" if path.endswith(".js") else "c"
    for number, line in enumerate(Path(path).read_text(encoding="utf-8").split("\n"), 1):
        code = code_of(line)
        for languages, pattern, how in SLIPS if number in numbers else []:
            for match in re.finditer(pattern, code) if language in languages and (starts or pattern != STATEMENT) else []:
                old = line[match.start():match.end()]
                new = how if isinstance(how, str) else how(old, names)
                found += [(path, number, match.start() + 1, old, new)] if new != old else []
        starts = code[-1] in ";{}:" if code else starts  # whether the next line starts a statement
    return found


def sample(base, args):
    """At most n slips of the lines changed since base, at random, each line's first before any second."""
    lines, path = {}, None
    for row in git("diff", "-U0", "--no-renames", "--diff-filter=AM", base, "--", *args.paths).split("\n"):
        if row.startswith("+++ "):
            path = row[6:] if SOURCE.match(row[6:]) else None
        elif row.startswith("@@") and path:  # @@ -old,count +first,count @@
            first, _, count = row.split()[2][1:].partition(",")
            lines.setdefault(path, set()).update(range(int(first), int(first) + int(count or 1)))
    names = {name for f in git("ls-files").split() if SOURCE.match(f)
             for line in Path(f).read_text(encoding="utf-8").split("\n") for name in re.findall(KIND, code_of(line))}
    mutants = sorted(m for path, numbers in lines.items() for m in mutants_of(path, numbers, names))
    random.Random(args.s).shuffle(mutants)
    rank = {m: sum(n[:2] == m[:2] for n in mutants[:i]) for i, m in enumerate(mutants)}
    return sorted(mutants, key=rank.get)[:args.n]


def stages_for(path):
    """The stages that test path, as (label, ctest regex, or None for a browser test)."""
    for stage in next(stages for prefixes, stages in COVERAGE if path.startswith(prefixes)):
        stage = stage.format(stem=Path(path).stem)
        files = git("ls-files", stage).split() if stage.endswith(".cpp") else []
        suites = {suite for f in files for suite in re.findall(r"(?m)^TEST\w*\(\s*(\w+)", Path(f).read_text())}
        if suites or not stage.endswith(".cpp"):
            yield stage, None if stage.endswith(".cjs") else rf"(^|/)({'|'.join(sorted(suites))})\." if suites else stage


def git(*args):
    """What git prints, stripped, or None when it fails."""
    done = subprocess.run(["git", *args], capture_output=True, text=True)
    return done.stdout.strip() if done.returncode == 0 else None


def run(command, limit, tree):
    """Runs command in the scratch copy, in a session of its own, for at most limit seconds: its status (None:
    out of time) and output. Then it ends what the run left: its session, SIGTERM first (on which puppeteer
    closes its browser), and what its tests started in sessions of their own, orphans that this process,
    their subreaper, inherits as its children."""
    with tempfile.TemporaryFile("w+", errors="replace") as log:  # not a pipe, which a stray could hold open
        proc = subprocess.Popen(command, cwd=tree, stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                                start_new_session=True)
        try:
            status = proc.wait(limit)
        except subprocess.TimeoutExpired:
            status = None
        finally:  # on Ctrl-C too, which does not reach a session of its own
            for number in signal.SIGTERM, signal.SIGKILL:
                with contextlib.suppress(ProcessLookupError, subprocess.TimeoutExpired):
                    os.killpg(proc.pid, number)
                    proc.wait(5)
            while strays := Path(f"/proc/self/task/{os.getpid()}/children").read_text().split():
                for pid in map(int, strays):  # each one's own orphans are ours once it is reaped
                    os.kill(pid, signal.SIGKILL)
                    os.waitpid(pid, 0)
        log.seek(0)
        return status, log.read()


def test(stages, tree, args, limits):
    """The first stage that fails: its label, status (None: out of time), output, the tests that failed."""
    for label, selection in stages:
        command = ["ctest", "--test-dir", "build/dev", "-j", "2", "--no-tests=error", "--stop-on-failure",
                   "--output-on-failure", "-R", selection]
        if selection is None:  # the whole games and --only are browser_test.cjs's
            command = ["node", "--test-force-exit", "--test-reporter=tap", f"tests/web/{label}", "--site",
                       "build/web/site", "--engines", "chromium"]
            command += ["--python", sys.executable, "--master-seed", str(args.s), "--games", str(args.games)] * (
                label != "keeping_test.cjs") + ["--only", args.only] * bool(label == "browser_test.cjs" and args.only)
        status, log = run(command, limits.get((label, selection), 3600), tree)
        if status != 0 or "\n# pass 0\n" in log:  # a browser run of no case would pass every mutant
            failed = re.findall(r"(?m)^\s+\d+ - (\S+) \(", log.partition("tests FAILED:")[2])
            return label, status, log, f"^({'|'.join(map(re.escape, failed))})$" if failed else selection
    return None


def prepare(mutants, args, tree):
    """Copies the worktree's tracked files into tree, builds and tests them: how long each stage may take."""
    subprocess.run(["xargs", "-0", "cp", "--parents", "-t", tree], input=git("ls-files", "-z"), text=True,
                   stderr=subprocess.DEVNULL)  # a file deleted in the worktree fails alone
    npm = os.path.abspath("build/web/npm/node_modules")  # the worktree's puppeteer-core spares an npm ci
    shared = os.path.isdir(npm + "/puppeteer-core")
    os.environ["NODE_PATH"] = npm if shared else f"{tree}/build/web/npm/node_modules"
    for preset in sorted({"web" if m[0].startswith(WEB) else "dev" for m in mutants}):
        print(f"mutants: building the {preset} preset in a scratch copy", flush=True)
        for step in ["--preset", preset], ["--build", f"build/{preset}"] + ["--target", "qz_site"] * (preset == "web" and shared):
            status, log = run(["cmake", *step], 3600, tree)
            if status != 0:
                sys.exit(f"{log[-3000:]}\nmutants: the {preset} preset does not build")
    limits = {}
    for stage in sorted({stage for m in mutants for stage in stages_for(m[0])}):
        begun, failed = time.monotonic(), test([stage], tree, args, {})
        if failed:
            sys.exit(f"{failed[2][-3000:]}\nmutants: the tests fail without a mutant (or no case holds --only): {stage[0]}")
        limits[stage] = int(time.monotonic() - begun) * 3 + 60
        print(f"mutants: {stage[0]} pass unmutated in {int(time.monotonic() - begun)} s", flush=True)
    return limits


def try_mutant(mutant, args, tree, limits):
    """Builds and tests one mutant, then undoes it: its verdict, and how it came."""
    path, line, column, old, new = mutant
    rebuild = ["cmake", "--build", *(["build/web", "--target", "qz_site"] if path.startswith(WEB) else ["build/dev"])]
    original = Path(tree, path).read_text(encoding="utf-8")
    lines = original.split("\n")
    lines[line - 1] = lines[line - 1][:column - 1] + new + lines[line - 1][column - 1 + len(old):]
    Path(tree, path).write_text("\n".join(lines), encoding="utf-8")
    status, log = run(rebuild, 1800, tree)
    failed = test(stages_for(path), tree, args, limits) if status == 0 else None
    Path(tree, path).write_text(original, encoding="utf-8")
    if status != 0:  # the compiler's or esbuild's first error line shows why
        error = next((row for row in log.split("\n") if re.search(r"error:|\bERROR\b", row)), "")
        return ("TIMED OUT", "in its build") if status is None else ("BUILD FAILED", error.replace(tree + "/", ""))
    if not failed or failed[1] is None:
        return ("TIMED OUT", f"in {failed[0]}") if failed else ("SURVIVED", "")
    # A kill counts only when the tests that failed pass without the mutant: a flaky one kills everything.
    again = run(rebuild, 1800, tree)[0] != 0 or test([(failed[0], failed[3])], tree, args, limits)
    return ("KILLED", f"by {failed[0]}") if not again else ("SURVIVED", f"{failed[0]} fails without it too")


def described(mutant):
    """How a mutant is named in the report."""
    path, line, column, old, new = mutant
    return f"{path}:{line}:{column} '{old.strip()}' -> '{new}'"


def main():
    parser = argparse.ArgumentParser(description=" ".join(__doc__.split(". ")[0].split()))
    parser.add_argument("-n", type=int, default=20, help="at most N mutants, spread over the changed lines")
    parser.add_argument("-t", type=float, default=30, metavar="MINUTES", help="start no mutant after MINUTES")
    parser.add_argument("-s", type=int, default=random.randrange(32768), metavar="SEED", help="to repeat a sample")
    parser.add_argument("--only", help="browser tests: only the cases whose names hold ONLY, no whole games")
    parser.add_argument("--games", type=int, default=5, help="browser tests: whole games per run")
    parser.add_argument("--list", action="store_true", help="print the sampled mutants and stop")
    parser.add_argument("base", nargs="?", help="the lines changed since the branch left it (default: main)")
    parser.add_argument("paths", nargs="*", help="narrow the files mutated (e.g. combat/)")
    args, started = parser.parse_args(), time.monotonic()
    os.chdir(git("rev-parse", "--show-toplevel") or sys.exit("mutants: not in a git worktree"))
    # Where the branch left the base, so that what the base gained since is no change of this branch; on main
    # itself, its last commit and what is not committed yet.
    base = git("merge-base", "HEAD", args.base or "main") or not args.base and git("merge-base", "HEAD", "origin/main")
    base = base or sys.exit(f"mutants: no commit {args.base or 'main'} to compare with")
    base = "HEAD~1" if not args.base and base == git("rev-parse", "HEAD") else base
    print(f"mutants: lines changed since {git('log', '-1', '--format=%h %s', base)}, seed {args.s}", flush=True)
    mutants = sample(base, args)
    if args.list or not mutants:
        return print("\n".join(map(described, mutants)) or "mutants: nothing to mutate")
    ctypes.CDLL(None).prctl(36, 1, 0, 0, 0)  # PR_SET_CHILD_SUBREAPER: the runs' orphans are ours to end
    for number in signal.SIGTERM, signal.SIGHUP:  # to the clean-up below, as Ctrl-C goes
        signal.signal(number, lambda signum, _: sys.exit(128 + signum))
    verdicts = []
    with tempfile.TemporaryDirectory(prefix="qz-mutants.") as tree:
        limits = prepare(mutants, args, tree)
        for index, mutant in enumerate(mutants):
            if time.monotonic() - started > args.t * 60:
                print(f"mutants: the time budget is spent; {len(mutants) - index} mutants not run")
                break
            begun, (verdict, how) = time.monotonic(), try_mutant(mutant, args, tree, limits)
            verdicts.append((verdict, described(mutant)))
            print(f"[{index + 1}/{len(mutants)}] {verdict:12} {described(mutant)}  ({time.monotonic() - begun:.0f} s)"
                  + f"\n        {how}" * bool(how), flush=True)
    tally = collections.Counter(verdict.lower() for verdict, _ in verdicts)
    print(f"mutants: {', '.join(f'{tally[v]} {v}' for v in ('killed', 'build failed', 'timed out', 'survived'))}, in "
          f"{time.monotonic() - started:.0f} s (seed {args.s})" + "".join(
              f"\n  survived: {m}" for verdict, m in verdicts if verdict == "SURVIVED"))


if __name__ == "__main__":
    main()
