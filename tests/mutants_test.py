"""The mutation check's slips, on lines where their places are easy to get wrong: beside a comment or a
string that holds the same text, one side of ||, a flag among others of its kind.
    python3 tests/mutants_test.py
"""
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tools"))
import mutants  # noqa: E402

KIN = "    use(STDOUT_FILENO, Stage::Start);"  # the file's other names of those kinds
CASES = [  # a line; slips it must give, as (text replaced, replacement); texts it must leave alone
    ("    if (a < b && c >= d) {  // e == f", {("a < b && c >= d", "!(a < b && c >= d)"), ("<", "<=")}, {"=="}),
    ('    say("a < b", 2);', set(), {"<", "2", "say"}),
    ("    ~Guard() { restore(fd); }", {("restore(fd);", ""), ("fd", "{}")}, set()),
    ("    if (hangUp || (ready < 0 && errno == EIO)) {", {(" || (ready < 0 && errno == EIO)", ""), ("hangUp || ", "")},
     set()),
    ("    wait(STDIN_FILENO, SIG_BLOCK, std::chrono::seconds{2});",
     {("STDIN_FILENO", "STDOUT_FILENO"), ("SIG_BLOCK", "{}"), ("seconds", "milliseconds"), ("2", "3")}, set()),
    ("    stage = Stage::Csi;", {("    stage = Stage::Csi;", ""), ("Stage::Csi", "Stage::Start")}, set()),
    ("    later(() => this.say(this.regions.pauses, text.trim()), 250);  // .js",
     {("this.say(this.regions.pauses, text.trim())", "{}"), ("this.regions.pauses", "null")}, set()),
]


class Slips(unittest.TestCase):
    def test_each_line_gives_its_slips_and_no_others(self) -> None:
        with tempfile.TemporaryDirectory() as folder:
            for line, wanted, untouched in CASES:
                path = Path(folder, "file.js" if line.endswith(".js") else "file.cpp")
                path.write_text(f"{{\n{line}\n{KIN}\n")
                found = {(old, new) for *_, old, new in mutants.mutants_of(str(path), {2})}
                with self.subTest(line=line):
                    self.assertLessEqual(wanted, found)
                    self.assertFalse({old for old, _ in found} & untouched)


if __name__ == "__main__":
    unittest.main(verbosity=2)
