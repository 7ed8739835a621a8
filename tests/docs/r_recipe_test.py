#!/usr/bin/python3
"""The README's R recipe, run as written on the recording the pandas recipe's
test writes (every case it must handle); skipped where R is not installed.

usage: r_recipe_test.py SOURCE_DIR WORK_DIR
"""
import pathlib
import shutil
import subprocess
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from recipe_recording import EXPECTED_EVENTS, readme_recipe, write_recording  # noqa: E402

if not shutil.which("Rscript"):
    print("r_recipe: skipped: R is not installed (Debian's r-base-core)")
    sys.exit(77)
source, work = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
work.mkdir(parents=True, exist_ok=True)
recording = write_recording(work / "tyvarion_NBS_recipe.csv")
script = readme_recipe(source, r"- R:\n\n  ```r\n(.*?)\n  ```", "R", recording) + r'''
shown <- function(v, f) ifelse(is.na(v), "NA", sprintf(f, v))
cat(names(samples), sep = "|"); cat("\n")
for (i in seq_len(nrow(samples)))
  cat(c(shown(samples[i, 1], "%.0f"), sapply(samples[i, -1], shown, f = "%.15g")), sep = "|", "\n")
cat(paste(events$kind, events$text, shown(events$timestamp, "%.0f"), shown(events$index, "%.0f"), events$before_first,
          sep = "|"), sep = "\n")
cat("\n")
'''
(work / "recipe.R").write_text(script, encoding="utf-8")
run = subprocess.run(["Rscript", str(work / "recipe.R")], capture_output=True, text=True)
if run.returncode != 0:
    print(run.stdout, run.stderr)
    sys.exit(1)
out = run.stdout.rstrip("\n").splitlines()
expected = [
    "timestamp [us]|index|POR X [px]|POR Y [px]|POR Left X [px]|POR Left Y [px]|Pupil Diam Left [mm]|"
    "POR Right X [px]|POR Right Y [px]|Pupil Diam Right [mm]",
    "1765184799000123|41|959.5|540.25|957.5|540.25|5.42|961.5|540.25|5.61|",
    "1765184799002125|42|NA|NA|NA|NA|NA|NA|NA|NA|",
    "1765184799004127|43|962|NA|960|538|5.4|NA|NA|5.6|",
    "1765184799006129|45|1e-05|1234570|960|538|5.4|964|538|5.6|",
]
expected += [f"{kind}|{text}|{time}|{index}|{'TRUE' if first else 'FALSE'}"
             for kind, text, time, index, first in EXPECTED_EVENTS]
failures = [f"line {i + 1}: expected {e!r}, got {a!r}" for i, (e, a) in enumerate(zip(expected, out)) if e != a]
if len(out) != len(expected):
    failures.append(f"{len(out)} lines of output:\n" + run.stdout)
for failure in failures:
    print("R recipe:", failure)
print(f"R recipe: {len(failures)} failures")
sys.exit(1 if failures else 0)
