#!/usr/bin/env python3
"""The mutation check: slips made one at a time in the C++ and JavaScript lines changed since a base commit
(uncommitted changes included), each rebuilt and tested in one scratch copy of the tree. Exits with 1 when
the copy does not build or its tests fail without a mutant, else with 0, whatever the tally."""
import argparse
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
ARG = r"(?:(?<=\w\()|(?<=, ))(?!null)[A-Za-z_][\w.]*(?:(?:->|::)\w+)*(?:\(\))?(?=[,)])(?![^()]*\) *(?:\{|const|=>))"
KIND = r"\b[A-Z]\w*::[A-Z]\w*\b|\b[A-Z][A-Z0-9_]{2,}\b"  # an enumerator, or a flag such as SIGINT or O_RDWR
SWAP = dict(zip("< <= > >= == != === !== && || true false s ms seconds milliseconds microseconds".split(),
                "<= < >= > != == !== === || && false true ms s milliseconds seconds milliseconds".split()))


def next_of_kind(name, names):
    """The next of name's kind among names: of its enumeration, or starting alike (SIG, O_)."""
    prefix = re.compile(r"\w+::|\w{1,3}_|\w{3}")
    kind = sorted({n for n in names if prefix.match(n)[0] == prefix.match(name)[0]} | {name})
    return kind[(kind.index(name) + 1) % len(kind)]


# The slips: the languages each applies to (c: C++, j: JavaScript), what it matches in a line's code, and
# what takes its place: a text, or a function of the text and the file's enumerators and flags.
SLIPS = [
    ("cj", r"(?<= )(?:[<>]=?|[=!]==?|&&|\|\|)(?= )|\b(?:true|false)\b", lambda t, _: SWAP[t]),  # flipped: <, &&, true
    ("cj", rf"(?:(?<=\bif \()|(?<=\bwhile \()){NEST}(?=\))", lambda t, _: f"!({t})"),  # a condition negated
    ("cj", r"!(?=[\w(])", ""),  # a negation dropped
    ("cj", rf" \|\| {TERM}(?=\)|;|$| \|\|| \{{)", ""),  # the right side of || dropped
    ("cj", rf"(?<=\(){TERM} \|\| ", ""),  # the left side
    ("cj", r"(?<![\w.])\d{1,9}(?![\w.])", lambda t, _: str(int(t) + 1)),  # a number one off
    ("c", ARG, "{}"),  # an argument of a call (not of a definition) defaulted
    ("j", ARG, "null"),
    ("cj", KIND, next_of_kind),  # an enumerator or flag for another of its kind
    ("cj", r"\b(?:milli|micro)?seconds\b|(?<=\d)m?s\b", lambda t, _: SWAP[t]),  # seconds for milliseconds
    ("cj", r" [*/] 1000\b", ""),  # a conversion between them dropped
    ("cj", r"(?<=\{ )[^{};]*\([^{};]*\);(?= \})", ""),  # the call of a one-line body: a destructor, a handler
    ("j", rf"(?<==> )[\w.]+\({NEST}\)(?=[),;])", "{}"),  # the call an arrow function makes
    ("cj", r"^ *(?:(?:await )?[\w.:>\[\]-]+(?:\(| [-+*/%|&^]?= |\+\+|--).*|break|continue|return);$", ""),  # dropped
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


def mutants_of(path, numbers):
    """The slips of lines of a file as (file, line, column, old, new), but in comments, #lines and string lines."""
    lines = [line.split("//")[0].rstrip() for line in Path(path).read_text(encoding="utf-8").split("\n")]
    code = ["" if re.match(r"\s*(/\*|\*|#)", line) or re.search("[\"'`]", line) else line for line in lines]
    names, found = {name for line in code for name in re.findall(KIND, line)}, []
    language = "j" if path.endswith(".js") else "c"
    for number in sorted(numbers):
        for languages, pattern, how in SLIPS:
            for match in re.finditer(pattern, code[number - 1]) if language in languages else []:
                new = how if isinstance(how, str) else how(match[0], names)
                found += [(path, number, match.start() + 1, match[0], new)] if new != match[0] else []
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
    mutants = sorted(m for path, numbers in lines.items() for m in mutants_of(path, numbers))
    random.Random(args.s).shuffle(mutants)
    rank = {m: sum(n[:2] == m[:2] for n in mutants[:i]) for i, m in enumerate(mutants)}
    return sorted(mutants, key=rank.get)[:args.n]


def stages_for(path):
    """The stages that test path, as (label, ctest regex, or None for a browser test)."""
    for stage in next(stages for prefixes, stages in COVERAGE if path.startswith(prefixes)):
        stage = stage.format(stem=Path(path).stem)
        files = git("ls-files", stage).split() if stage.endswith(".cpp") else []
        suites = sorted({s for f in files for s in re.findall(r"(?m)^TEST\w*\(\s*(\w+)", Path(f).read_text())})
        if stage.endswith(".cjs"):
            yield stage, None
        elif not stage.endswith(".cpp"):
            yield stage, stage
        elif suites:  # a test file of no suites, or none at all, is no stage
            yield stage, rf"(^|/)({'|'.join(suites)})\."


def git(*args):
    """What git prints, stripped, or None when it fails."""
    done = subprocess.run(["git", *args], capture_output=True, text=True)
    return done.stdout.strip() if done.returncode == 0 else None


def run(command, limit, tree):
    """Runs command in tree in a session of its own for at most limit seconds: its status (None: out of time)
    and output. Then it ends the session, SIGTERM first (puppeteer closes its browser), and the orphans."""
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


def test(stages, tree, args):
    """The first stage that fails, with its status (None: out of time) and output; or None."""
    for label, selection in stages:
        command = ["ctest", "--test-dir", "build/dev", "-j", "2", "--no-tests=error", "--stop-on-failure",
                   "--output-on-failure", "-R", str(selection)]
        if selection is None:  # the whole games and --only are browser_test.cjs's
            command = ["node", "--test-force-exit", "--test-reporter=tap", f"tests/web/{label}", "--site",
                       "build/web/site", "--engines", "chromium"]
            if label != "keeping_test.cjs":
                command += ["--python", sys.executable, "--master-seed", str(args.s), "--games", str(args.games)]
            command += ["--only", args.only] if label == "browser_test.cjs" and args.only else []
        status, log = run(command, args.limit, tree)
        if status != 0 or "\n# pass 0\n" in log:  # a browser run of no case would pass every mutant
            return (label, selection), status, log
    return None


def rebuild(path):
    """The command that rebuilds the scratch copy after a change to path: the game and its tests, or the site."""
    return ["cmake", "--build", *(["build/web", "--target", "qz_site"] if path.startswith(WEB) else ["build/dev"])]


def prepare(mutants, args, tree):
    """Copies the tracked files into tree, builds and tests them: a later run may take 3 times the slowest."""
    subprocess.run(["xargs", "-0", "cp", "--parents", "-t", tree], input=git("ls-files", "-z"), text=True,
                   stderr=subprocess.DEVNULL)  # a file deleted in the worktree fails alone
    npm = os.path.abspath("build/web/npm/node_modules")  # the worktree's puppeteer-core spares an npm ci
    shared = os.path.isdir(npm + "/puppeteer-core")
    os.environ["NODE_PATH"] = npm if shared else f"{tree}/build/web/npm/node_modules"
    for preset in sorted({"web" if m[0].startswith(WEB) else "dev" for m in mutants}):
        print(f"mutants: building the {preset} preset in a scratch copy", flush=True)
        site = ["--target", "qz_site"] * (preset == "web" and shared)  # the whole build runs npm ci
        for step in ["--preset", preset], ["--build", f"build/{preset}", *site]:
            status, log = run(["cmake", *step], args.limit, tree)
            if status != 0:
                sys.exit(f"{log[-3000:]}\nmutants: the {preset} preset does not build")
    for path in {m[0] for m in mutants}:  # so that the rebuilds below are timed as a mutant's
        Path(tree, path).touch()
    for command in sorted({tuple(rebuild(m[0])) for m in mutants}):
        begun = time.monotonic()
        run(command, args.limit, tree)
        args.slowest = max(args.slowest, time.monotonic() - begun)
    for stage in sorted({stage for m in mutants for stage in stages_for(m[0])}):
        begun, failed = time.monotonic(), test([stage], tree, args)
        if failed:
            sys.exit(f"{failed[2][-3000:]}\nmutants: {stage[0]} fails without a mutant (or no case holds --only)")
        args.slowest = max(args.slowest, time.monotonic() - begun)
    args.limit = 3 * args.slowest + 60


def try_mutant(mutant, args, tree):
    """Builds and tests one mutant, then undoes it: its verdict, and why."""
    path, line, column, old, new = mutant
    original = Path(tree, path).read_text(encoding="utf-8")
    lines = original.split("\n")
    lines[line - 1] = lines[line - 1][:column - 1] + new + lines[line - 1][column - 1 + len(old):]
    Path(tree, path).write_text("\n".join(lines), encoding="utf-8")
    status, log = run(rebuild(path), args.limit, tree)
    failed = test(stages_for(path), tree, args) if status == 0 else None
    Path(tree, path).write_text(original, encoding="utf-8")
    if status != 0:  # the compiler's or esbuild's first error line shows why
        error = next((row for row in log.split("\n") if re.search(r"error:|\bERROR\b", row)), "in its build")
        return ("TIMED OUT" if status is None else "BUILD FAILED"), error.replace(tree + "/", "")
    if not failed or failed[1] is None:
        return ("TIMED OUT", f"in {failed[0][0]}") if failed else ("SURVIVED", "")
    # A kill counts only when the stage that failed passes without the mutant: a flaky one kills everything.
    label, again = failed[0][0], run(rebuild(path), args.limit, tree)[0] != 0 or test([failed[0]], tree, args)
    return ("SURVIVED", f"{label} fails without it too") if again else ("KILLED", f"by {label}")


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
    args, started, verdicts = parser.parse_args(), time.monotonic(), []
    os.chdir(git("rev-parse", "--show-toplevel") or sys.exit("mutants: not in a git worktree"))
    # Where the branch left the base, so that what the base gained since is no change of the branch.
    base = git("merge-base", "HEAD", args.base or "main") or sys.exit(f"mutants: no commit {args.base or 'main'}")
    print(f"mutants: lines changed since {git('log', '-1', '--format=%h %s', base)}, seed {args.s}", flush=True)
    mutants, args.limit, args.slowest = sample(base, args), 3600, 0
    named = {m: f"{m[0]}:{m[1]}:{m[2]} '{m[3].strip()}' -> '{m[4]}'" for m in mutants}
    if args.list or not mutants:
        return print("\n".join(named.values()) or "mutants: nothing to mutate")
    ctypes.CDLL(None).prctl(36, 1, 0, 0, 0)  # PR_SET_CHILD_SUBREAPER: the runs' orphans are ours to end
    for number in signal.SIGTERM, signal.SIGHUP:  # to the clean-up below, as Ctrl-C goes
        signal.signal(number, lambda signum, _: sys.exit(128 + signum))
    with tempfile.TemporaryDirectory(prefix="qz-mutants.") as tree:
        prepare(mutants, args, tree)
        for index, mutant in enumerate(mutants):
            if time.monotonic() - started > args.t * 60:
                print(f"mutants: the time budget is spent; {len(mutants) - index} mutants not run")
                break
            verdicts.append((*try_mutant(mutant, args, tree), named[mutant]))
            verdict, why, name = verdicts[-1]
            print(f"[{index + 1}/{len(mutants)}] {verdict:12} {name}" + f"\n        {why}" * bool(why), flush=True)
    found = [verdict for verdict, *_ in verdicts]
    tally = ", ".join(f"{found.count(v)} {v.lower()}" for v in ("KILLED", "BUILD FAILED", "TIMED OUT", "SURVIVED"))
    print(f"mutants: {tally}, in {time.monotonic() - started:.0f} s (seed {args.s})")
    print("".join(f"  survived: {m}\n" for verdict, _, m in verdicts if verdict == "SURVIVED"), end="")


if __name__ == "__main__":
    main()
