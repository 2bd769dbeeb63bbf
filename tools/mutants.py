#!/usr/bin/env python3
"""The mutation check: small slips made one at a time in the C++ and JavaScript lines changed since
a base commit, each built and tested in one scratch copy of the tree, so that a slip the tests of its
file let through shows before the change is called done. Reads the worktree it runs in, changes not
yet committed included; writes only in a folder of its own. Exits with 1 when the tree does not build
or its tests fail without a mutant, else with 0, whatever the tally."""
import argparse
import os
import random
import re
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOTS = ["app", "combat", "console", "random", "web"]
SOURCE = re.compile(r"(app|combat|console(?!/windows/|/none/)|random)/.*\.(cpp|h)$|(web|console/web)/[^/]*\.js$")
WEB = ("web/", "console/web/")
NEST = r"[^()]*(?:\((?:[^()]|\([^()]*\))*\)[^()]*)*"  # text with parentheses two deep
TERM = r"(?:[^()|&;,?]|\([^()]*\))+"  # an operand of || holding no other && or ||
INT = r"(?<![\w.'])\d{1,9}(?![\w.'])"
KIND = r"\b[A-Z]\w*::[A-Z]\w*\b|\b[A-Z][A-Z0-9_]{2,}\b"  # an enumerator or a flag
KIN = r"\w+::|\w{1,3}_|\w{3}"  # what names of a kind begin with: their enumeration, or SIG, SIG_, O_
SWAP = dict(zip("< <= > >= == != === !== && ||".split(), "<= < >= > != == !== === || &&".split()))
# The slips: the languages each applies to (c: C++, j: JavaScript), what it matches in a line's code
# (its literals blanked), and its replacement: text, or a function of the text matched and the game's
# enumerators and flags. A row anchored at ^ takes only a line that starts a statement.
OPERATORS = [
    ("cj", r" (<=|>=|<|>|===|!==|==|!=|&&|\|\|) ", lambda t, _: f" {SWAP[t.strip()]} "),
    ("cj", rf"(?:(?<=\bif \()|(?<=\bwhile \())(?!\)){NEST}(?=\))", lambda t, _: f"!({t})"),
    ("cj", r"!(?=[\w(])", ""), ("cj", r"\btrue\b", "false"), ("cj", r"\bfalse\b", "true"),
    ("cj", INT, lambda t, _: str(int(t) + 1)), ("cj", INT, lambda t, _: str(int(t) - 1) if int(t) else None),
    ("cj", r"^ *(?:(?:await )?[A-Za-z_][\w.:>\[\]-]*(?:\(| [-+*/%|&^]?= |\+\+|--).*|(?:\+\+|--)\w.*"
           r"|break|continue|return);$", lambda t, _: t[:len(t) - len(t.lstrip())]),  # a statement dropped
    ("cj", r"(?<=\{ )[^{};]*\([^{};]*\);(?= \})", ""),  # the call of a one-line body: destructor, handler
    ("j", rf"(?<==> )[\w.]+\({NEST}\)(?=[),;])", "{}"),  # the call an arrow function makes
    ("c", r"(?:(?<=\w\()|(?<=, ))(?!nullptr\b)[A-Za-z_][\w.]*(?:(?:->|::)\w+)*(?:\(\))?(?=[,)])"
          r"(?![^()]*\) *(?:\{|const))", "{}"),  # an argument of a call, default-constructed
    ("j", r"(?:(?<=\w\()|(?<=, ))(?!null\b)[A-Za-z_][\w.]*(?:\(\))?(?=[,)])(?![^()]*\) *(?:\{|=>))", "null"),
    ("cj", KIND, lambda t, names: other(t, names)),  # swapped for another of its kind
    ("cj", r"\bmilliseconds\b", "seconds"), ("cj", r"\b(?:micro)?seconds\b", "milliseconds"),
    ("c", r"(?<=\d)ms\b", "s"), ("c", r"(?<=\d)s\b", "ms"), ("cj", r" [*/] 1000\b", ""),
    ("cj", rf" \|\| {TERM}(?=\)|;|$| \|\|| \{{)", ""), ("cj", rf"(?<=\(){TERM} \|\| ", ""),  # || less one side
]
# The tests that cover a file, run in order until one fails, the quickest first: a label, and a ctest
# regex, BROWSER, or None for the GoogleTest suites of the files the label names.
BROWSER = "browser"
COVERAGE = [
    (WEB, [("Chromium", BROWSER)]),
    (("console/posix/",), [("tests/posix/{stem}_test.cpp", None), ("tests/posix/*.cpp", None),
                           ("e2e_test_hostile_input", "^e2e_test_hostile_input$")]),
    (("",), [("tests/{stem}_test.cpp", None), ("the unit and terminal tests", r"\."),
             ("the end-to-end tests", "^e2e_")]),
]


def browser_command(args):
    """The browser tests in Chromium on the scratch copy's site."""
    return ["node", "--test-force-exit", "tests/web/browser_test.cjs", "--site", "build/web/site",
            "--python", sys.executable,
            "--engines", "chromium", "--master-seed", str(args.s), "--games", str(args.games),
            *(["--only", args.only] if args.only else [])]


def other(name, names):
    """The next of name's kind among names, or None when it is the only one."""
    kind = sorted(n for n in names if re.match(KIN, n)[0] == re.match(KIN, name)[0])
    return kind[(kind.index(name) + 1) % len(kind)] if name in kind else None


def code_of(line):
    """The line with the insides of its literals blanked and its // comment cut, columns kept."""
    line = re.sub(r"\"(?:\\.|[^\"\\])*\"|'(?:\\.|[^'\\])*'|`(?:\\.|[^`\\])*`",
                  lambda m: m[0][0] + "\0" * (len(m[0]) - 2) + m[0][-1], line).split("//")[0].rstrip()
    return "" if re.match(r"\s*(/\*|\*|#)", line) else line


def mutants_of(path, numbers, names):
    """Every slip of the given lines of one file, as (file, line, column, text replaced, replacement)."""
    found, starts, language = [], True, "j" if path.endswith(".js") else "c"
    for number, line in enumerate(Path(path).read_text(encoding="utf-8").split("\n"), 1):
        code = code_of(line)
        for languages, pattern, replacement in OPERATORS if number in numbers and code.strip() else []:
            for match in re.finditer(pattern, code) if language in languages and (starts or pattern[0] != "^") else []:
                old = line[match.start():match.end()]
                new = replacement if isinstance(replacement, str) else replacement(old, names)
                found += [(path, number, match.start() + 1, old, new)] if new not in (None, old) else []
        starts = code[-1] in ";{}:" if code.strip() else starts
    return found


def changed_lines(base, paths):
    """The lines added or changed since base, the working tree's changes included, by file."""
    lines, path = {}, None
    for row in git("diff", "-U0", "--no-ext-diff", "--no-renames", "--diff-filter=AM", base, "--", *paths).split("\n"):
        if row.startswith("+++ "):
            path = row[6:] if SOURCE.match(row[6:]) else None
        elif row.startswith("@@") and path:
            first, _, count = row.split()[2][1:].partition(",")
            lines.setdefault(path, set()).update(range(int(first), int(first) + int(count or 1)))
    return lines


def sample(candidates, count, seed):
    """At most count candidates, spread over the lines: each line's first slip before any line's second."""
    rng, by_line = random.Random(seed), {}
    for candidate in candidates:
        by_line.setdefault(candidate[:2], []).append(candidate)
    ranked = [(rank, rng.random(), mutant) for group in by_line.values()
              for rank, mutant in enumerate(rng.sample(group, len(group)))]
    return [mutant for _, _, mutant in sorted(ranked)[:count]]


def stages_for(path):
    """The stages that test path, as (label, ctest regex or BROWSER)."""
    stem = os.path.splitext(os.path.basename(path))[0]
    for label, selection in next(stages for prefixes, stages in COVERAGE if path.startswith(prefixes)):
        files = git("ls-files", label.format(stem=stem)).split() if selection is None else []
        suites = sorted(set(re.findall(r"(?m)^(?:TEST|TEST_F|TEST_P|TYPED_TEST)\(\s*(\w+)",
                                       "".join(Path(f).read_text(encoding="utf-8") for f in files))))
        if selection or suites:
            yield label.format(stem=stem), selection or rf"(^|/)({'|'.join(suites)})\."


def git(*args, must=True):
    """What git prints, stripped; when it fails, None, or the end of this program if it must not."""
    done = subprocess.run(["git", *args], capture_output=True, text=True)
    if done.returncode != 0 and must:
        sys.exit(f"mutants: git {args[0]}: {done.stderr.strip()}")
    return done.stdout.strip() if done.returncode == 0 else None


def run(command, limit, tree):
    """Runs command in the scratch copy, in a session of its own, for at most limit seconds, then kills
    all it left: its status (None when time ran out) and output."""
    with tempfile.TemporaryFile("w+", errors="replace") as log:
        proc = subprocess.Popen(command, cwd=tree, stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                                start_new_session=True, env=dict(os.environ, QZ_MUTANTS=tree))
        try:
            status = proc.wait(limit)
        except subprocess.TimeoutExpired:
            status = None
        finally:
            while sum(kill_stray(int(pid), tree) for pid in os.listdir("/proc") if pid.isdigit()):
                pass  # again, for what forked meanwhile
            proc.wait()  # the others are not this program's children: their parents, or init, wait for them
        log.seek(0)
        return status, log.read()


def kill_stray(pid, tree):
    """Kills the process if a run left it: a game a test started in a session of its own runs a program
    of the copy; a browser holds the copy's mark in its environment. Whether it was one."""
    try:
        if os.readlink(f"/proc/{pid}/exe").startswith(tree + "/") or \
                f"QZ_MUTANTS={tree}\0".encode() in Path(f"/proc/{pid}/environ").read_bytes():
            os.kill(pid, signal.SIGKILL)
            return True
    except OSError:
        pass  # ended meanwhile, or another user's
    return False


def test(stages, tree, args, limits):
    """Runs the stages in order until one fails: None when all pass, else its label, status (None: out of
    time) and output, and a ctest regex of the tests that failed."""
    for label, selection in stages:
        command = browser_command(args) if selection == BROWSER else [
            "ctest", "--test-dir", "build/dev", "-j", "2", "--stop-on-failure", "--output-on-failure", "-R", selection]
        status, log = run(command, limits.get(selection, 3600), tree)
        failed = re.findall(r"(?m)^\s+\d+ - (\S+) \(", log.partition("tests FAILED:")[2])
        if status != 0:
            return label, status, log, f"^({'|'.join(map(re.escape, failed))})$" if failed else selection
    return None


def prepare(mutants, args, tree):
    """Copies the tracked files, as they are in the worktree, into tree and builds there the presets the
    mutants need; runs each stage once unmutated, and returns how long each may take with a mutant."""
    subprocess.run(["xargs", "-0", "cp", "--parents", "-t", tree], input=git("ls-files", "-z"), text=True,
                   stderr=subprocess.DEVNULL)  # a file deleted in the worktree fails alone
    npm = os.path.abspath("build/web/npm/node_modules")  # puppeteer-core, if the worktree's web build has it
    os.environ["NODE_PATH"] = npm if os.path.isdir(npm + "/puppeteer-core") else f"{tree}/build/web/npm/node_modules"
    for preset in sorted({"web" if m[0].startswith(WEB) else "dev" for m in mutants}):
        print(f"mutants: building the {preset} preset in a scratch copy", flush=True)
        only_site = ["--target", "qz_site"] if preset == "web" and os.environ["NODE_PATH"] == npm else []
        for step in ["cmake", "--preset", preset], ["cmake", "--build", f"build/{preset}", *only_site]:
            status, log = run(step, 3600, tree)
            if status != 0:
                sys.exit(f"{log[-3000:]}\nmutants: the {preset} preset does not build")
    limits = {}
    for stage in sorted({stage for m in mutants for stage in stages_for(m[0])}):
        begun, failed = time.monotonic(), test([stage], tree, args, {})
        if failed:
            sys.exit(f"{failed[2][-3000:]}\nmutants: the tests fail without a mutant: {failed[0]}")
        limits[stage[1]] = int(time.monotonic() - begun) * 3 + 60
        print(f"mutants: {stage[0]} pass unmutated in {int(time.monotonic() - begun)} s", flush=True)
    return limits


def try_mutant(mutant, args, tree, limits):
    """Builds and tests one mutant, then undoes it: its verdict, and how it came."""
    path, line, column, old, new = mutant
    target = Path(tree, path)
    rebuild = ["cmake", "--build", "build/web", "--target", "qz_site"] if path.startswith(WEB) else [
        "cmake", "--build", "build/dev"]
    original = target.read_text(encoding="utf-8")
    lines = original.split("\n")
    lines[line - 1] = lines[line - 1][:column - 1] + new + lines[line - 1][column - 1 + len(old):]
    target.write_text("\n".join(lines), encoding="utf-8")
    status, log = run(rebuild, 1800, tree)
    failed = test(stages_for(path), tree, args, limits) if status == 0 else None
    target.write_text(original, encoding="utf-8")
    if status != 0:  # the compiler's or esbuild's first error line shows why
        error = next((row for row in log.split("\n") if re.search(r"error:|\bERROR\b", row)), "")
        return ("TIMED OUT", "in its build") if status is None else ("BUILD FAILED", error.replace(tree + "/", ""))
    if not failed or failed[1] is None:
        return ("SURVIVED", "") if not failed else ("TIMED OUT", f"in {failed[0]}")
    # A kill counts only when the tests that failed pass without the mutant: a flaky one kills everything.
    again = run(rebuild, 1800, tree)[0] != 0 or test([(failed[0], failed[3])], tree, args, limits)
    return ("KILLED", f"by {failed[0]}") if not again else ("SURVIVED", f"{failed[0]} fails without it too")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("-n", type=int, default=20, help="at most N mutants, spread over the changed lines")
    parser.add_argument("-t", type=float, default=30, help="start no mutant after this many minutes")
    parser.add_argument("-s", type=int, default=random.randrange(32768), help="the sample's seed, to repeat a run")
    parser.add_argument("--only", help="browser tests: only the cases whose names hold ONLY, no whole games")
    parser.add_argument("--games", type=int, default=5, help="browser tests: whole games per run")
    parser.add_argument("--list", action="store_true", help="print the sampled mutants and stop")
    parser.add_argument("base", nargs="?", help="the commit to compare with (default: where the branch left main)")
    parser.add_argument("paths", nargs="*", default=ROOTS, help="narrow the files mutated (e.g. combat/)")
    args, started = parser.parse_args(), time.monotonic()
    os.chdir(git("rev-parse", "--show-toplevel"))
    base = args.base or git("merge-base", "HEAD", "main", must=False) or git("merge-base", "HEAD", "origin/main")
    if not args.base and base == git("rev-parse", "HEAD"):  # on main: its uncommitted change, else its last
        base = "HEAD" if git("status", "--porcelain", "--", *ROOTS) else "HEAD~1"
    print(f"mutants: lines changed since {git('log', '-1', '--format=%h %s', base)}, seed {args.s}", flush=True)
    names = {n for f in git("ls-files", *ROOTS).split() if SOURCE.match(f)
             for n in re.findall(KIND, "\n".join(map(code_of, Path(f).read_text(encoding="utf-8").split("\n"))))}
    mutants = sample([m for path, lines in sorted(changed_lines(base, args.paths).items())
                      for m in mutants_of(path, lines, names)], args.n, args.s)
    describe = [f"{path}:{line}:{column} '{old.strip()}' -> '{new.strip()}'" for path, line, column, old, new
                in mutants]
    if args.list or not mutants:
        return print("\n".join(describe) or "mutants: nothing to mutate")
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))  # to the clean-up below, as Ctrl-C goes
    signal.signal(signal.SIGHUP, lambda *_: sys.exit(129))
    tally, survivors = dict.fromkeys(["killed", "build failed", "timed out", "survived"], 0), []
    with tempfile.TemporaryDirectory(prefix="qz-mutants.") as tree:
        limits = prepare(mutants, args, tree)
        for index, mutant in enumerate(mutants):
            if time.monotonic() - started > args.t * 60:
                print(f"mutants: the time budget is spent; {len(mutants) - index} mutants not run")
                break
            begun, (verdict, how) = time.monotonic(), try_mutant(mutant, args, tree, limits)
            tally[verdict.lower()] += 1
            survivors += [describe[index]] if verdict == "SURVIVED" else []
            print(f"[{index + 1}/{len(mutants)}] {verdict:12} {describe[index]}  ({time.monotonic() - begun:.0f} s)"
                  + (f"\n        {how}" if how else ""), flush=True)
    print(f"mutants: {', '.join(f'{n} {v}' for v, n in tally.items())}, in {time.monotonic() - started:.0f} s"
          f" (seed {args.s})" + "".join(f"\n  survived: {s}" for s in survivors))


if __name__ == "__main__":
    main()
