#!/usr/bin/env python3
"""check_workflow.py ROOT: the Windows workflow, which cannot run here, is
YAML that parses, runs on windows-latest, uses a preset CMakePresets.json
has, and names only programs the build makes and test cases the suites
hold."""
import json
import re
import sys

import yaml

root = sys.argv[1]
failures = []
workflow = yaml.safe_load(open(f"{root}/.github/workflows/windows.yml"))
job = workflow["jobs"]["windows"]
if job["runs-on"] != "windows-latest":
    failures.append("the job does not run on windows-latest")
runs = "\n".join(step.get("run", "") for step in job["steps"])
presets = {p["name"] for p in json.load(open(f"{root}/CMakePresets.json"))["configurePresets"]}
for preset in re.findall(r"--preset (\S+)", runs):
    if preset not in presets:
        failures.append(f"no preset {preset}")
cmake = open(f"{root}/src/CMakeLists.txt").read() + open(f"{root}/tests/CMakeLists.txt").read()
for program in set(re.findall(r"build/windows-msys2/(?:tests/)?([\w-]+)\.exe", runs)):
    if not re.search(rf"(add_executable|pq_test_program)\({re.escape(program)}\b", cmake):
        failures.append(f"the build makes no {program}")
sources = ""
for folder in ("registry", "devices"):
    for name in ("registry_contract_test.cpp", "device_contract_test.cpp"):
        try:
            sources += open(f"{root}/tests/{folder}/{name}").read()
        except OSError:
            pass
for case in re.findall(r"--gtest_filter='([^'*]+)'", runs):
    suite, name = case.split(".")
    if not re.search(rf"TEST_F\({suite}, {name}\)", sources):
        failures.append(f"no test case {case}")
for failure in failures:
    print("FAIL -", failure)
print("the Windows workflow:", "ok" if not failures else f"{len(failures)} problems")
sys.exit(1 if failures else 0)
