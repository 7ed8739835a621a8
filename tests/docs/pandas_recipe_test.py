#!/usr/bin/python3
"""The README's pandas recipe, run as written on a recording with every case
it must handle (recipe_recording.py). Its events carry the time stamp and
index of the sample line before them, as recording-report lists them.

usage: pandas_recipe_test.py SOURCE_DIR RECORDING_REPORT WORK_DIR
"""
import json
import math
import pathlib
import re
import subprocess
import sys

try:
    import pandas  # noqa: F401
except ImportError:
    print("pandas_recipe: skipped: pandas is not installed (scripts/bootstrap installs python3-pandas)")
    sys.exit(77)

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from recipe_recording import EXPECTED_EVENTS, HEADER, readme_recipe, write_recording  # noqa: E402

source, report_tool, work = pathlib.Path(sys.argv[1]), sys.argv[2], pathlib.Path(sys.argv[3])
work.mkdir(parents=True, exist_ok=True)
recording = write_recording(work / "tyvarion_NBS_recipe.csv")
recipe = readme_recipe(source, r"- Python \(pandas.*?\n\n  ```python\n(.*?)\n  ```", "pandas", recording)
header = HEADER

scope = {}
exec(compile(recipe, "README pandas recipe", "exec"), scope)
samples, events = scope["samples"], scope["events"]
failures = []


def check(what, expected, actual):
    same = (expected == actual) or (isinstance(expected, float) and isinstance(actual, float)
                                    and math.isnan(expected) and math.isnan(actual))
    if not same:
        failures.append(f"{what}: expected {expected!r}, got {actual!r}")


names = [n.strip() for n in header.split(";")]
check("sample columns", names, list(samples.columns))
check("sample rows", 4, len(samples))
check("time stamps", [1765184799000123, 1765184799002125, 1765184799004127, 1765184799006129],
      samples["timestamp [us]"].tolist())
check("indexes", [41, 42, 43, 45], samples["index"].tolist())
check("time stamps stay whole numbers", "int64", str(samples["timestamp [us]"].dtype))
for column in names[2:]:
    check(f"{column} of the blink is missing", True, bool(math.isnan(samples[column][1])))
check("the marker beside a valid X is missing", True, bool(math.isnan(samples["POR Y [px]"][2])))
check("its X stays", 962.0, float(samples["POR X [px]"][2]))
check("numbers as printf writes them", [1e-05, 1.23457e+06], [samples["POR X [px]"][3], samples["POR Y [px]"][3]])
check("a right eye INVALID", True, bool(math.isnan(samples["POR Right X [px]"][2])))
check("pupil", 5.61, float(samples["Pupil Diam Right [mm]"][0]))

check("event kinds", [e[0] for e in EXPECTED_EVENTS], events["kind"].tolist())
check("event texts", [e[1] for e in EXPECTED_EVENTS], events["text"].tolist())
check("event time stamps", [e[2] for e in EXPECTED_EVENTS], events["timestamp [us]"].tolist())
check("event indexes", [e[3] for e in EXPECTED_EVENTS], events["index"].tolist())
check("events above the first sample line", [e[4] for e in EXPECTED_EVENTS], events["before_first"].tolist())
check("event time stamps stay whole numbers", "int64", str(events["timestamp [us]"].dtype))

# The same rule as the report: its list of triggers and messages, "*" marking
# those above the first sample line.
report = subprocess.run([report_tool, str(recording)], capture_output=True, text=True)
check("recording-report exit status", 0, report.returncode)
listed = re.findall(r"^  (\d+\*?) +(\d+) +(trigger|message) +(.*)$", report.stdout, re.M)
check("the report's events", [(str(t) + ("*" if first else ""), str(n), k, x) for k, x, t, n, first in EXPECTED_EVENTS],
      listed)

for failure in failures:
    print("pandas recipe:", failure)
print(f"pandas recipe: {len(failures)} failures")
sys.exit(1 if failures else 0)
