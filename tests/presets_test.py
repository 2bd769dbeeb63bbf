"""The presets, read as CMake reads them: every workflow builds in its documented folder, no preset
names an installed path or compiler (the toolchain files in cmake/ find the tools on PATH) or a
folder that a script makes, and every preset the scripts ask for exists.

    python3 tests/presets_test.py
"""
from __future__ import annotations

import json
import pathlib
import re
import unittest

ROOT = pathlib.Path(__file__).resolve().parent.parent
PRESETS = json.loads((ROOT / "CMakePresets.json").read_text())
CONFIGURE = {preset["name"]: preset for preset in PRESETS["configurePresets"]}

# The commands in README.md and HACKING.md, and the folders the scripts read.
FOLDERS = {"dev": "build/dev", "asan": "build/asan", "bench": "build/bench", "package": "build/release",
           "package-arm64": "build/release-arm64", "windows": "build/windows", "web": "build/web",
           "libcxx": "build/libcxx", "arm64": "build/arm64"}


def resolved(name: str, field: str) -> str | None:
    """A configure preset's field, taken from the first preset up its inheritance that sets it, with
    ${presetName} meaning the preset asked about, as in CMake."""
    def inherited(preset: dict) -> str | None:
        parents = preset.get("inherits", [])
        for parent in [parents] if isinstance(parents, str) else parents:
            value = CONFIGURE[parent].get(field) or inherited(CONFIGURE[parent])
            if value is not None:
                return value
        return None
    value = CONFIGURE[name].get(field) or inherited(CONFIGURE[name])
    return value and value.replace("${presetName}", name)


class Presets(unittest.TestCase):
    def test_each_workflow_builds_in_its_folder(self) -> None:
        workflows = {workflow["name"]: workflow["steps"][0]["name"] for workflow in PRESETS["workflowPresets"]}
        for workflow, folder in FOLDERS.items():
            with self.subTest(workflow=workflow):
                self.assertEqual(resolved(workflows[workflow], "binaryDir"), "${sourceDir}/" + folder)

    def test_no_preset_names_an_installed_tool(self) -> None:
        for name, preset in CONFIGURE.items():
            settings = {"toolchainFile": preset.get("toolchainFile", ""), **preset.get("cacheVariables", {})}
            for key, value in settings.items():
                with self.subTest(preset=name, setting=key):
                    self.assertFalse(str(value).startswith("/"), value)
                    self.assertFalse(key.endswith("_COMPILER"), "a toolchain file in cmake/ finds the compiler")

    def test_no_preset_needs_what_a_script_makes(self) -> None:
        """Every preset configures in a fresh clone: none reads a folder under build/ (a GoogleTest
        built by a CI script, say) but its own build folder."""
        for name, preset in CONFIGURE.items():
            settings = {"toolchainFile": preset.get("toolchainFile", ""), **preset.get("cacheVariables", {}),
                        **preset.get("environment", {})}
            for key, value in settings.items():
                with self.subTest(preset=name, setting=key):
                    self.assertNotIn("${sourceDir}/build", str(value))

    def test_every_preset_a_script_asks_for_exists(self) -> None:
        names = {preset["name"] for kind in PRESETS.values() if isinstance(kind, list) for preset in kind}
        scripts = [*ROOT.glob("tools/*.sh"), *ROOT.glob("bench/*.*"), ROOT / "fuzz/run.sh", ROOT / ".ci/run"]
        for script in scripts:
            for name in re.findall(r"--preset[ =\"',]+([a-z][a-z0-9-]*)", script.read_text()):
                with self.subTest(script=script.name, preset=name):
                    self.assertIn(name, names)


if __name__ == "__main__":
    unittest.main(verbosity=2)
