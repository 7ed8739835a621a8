#!/usr/bin/python3
"""recording-report and recording-to-bids stream a recording: ten times the
lines take no more memory. Each tool runs on 50,000 and on 500,000 sample lines;
the peak resident memory of the longer run may exceed that of the shorter by
at most 2 MiB (the per-trial figures and the 250 triggers and messages more).

    bounded_memory_test.py REPORT EXPORT SCRATCH
"""
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import long_recording  # noqa: E402

report, export, scratch = sys.argv[1:4]
shutil.rmtree(scratch, ignore_errors=True)
os.makedirs(scratch)


def peak_kib(command):
    # Through GNU time: a child forked from this Python would count Python's
    # memory from before its exec as its own.
    measure = os.path.join(scratch, "peak")
    subprocess.run(["/usr/bin/time", "-f", "%M", "-o", measure] + command, stdout=subprocess.DEVNULL, check=True)
    with open(measure) as peak:
        return int(peak.read().split()[-1])


failed = False
peaks = {}
for lines in (50_000, 500_000):
    recording = os.path.join(scratch, f"long-{lines}.csv")
    long_recording.write(recording, lines)
    geometry = ["--screen-mm", "531x299", "--distance-mm", "650"]
    peaks[lines] = (
        peak_kib([report, recording, "--per-trial", "--json", recording + ".json"] + geometry),
        peak_kib([export, recording, "--out", os.path.join(scratch, f"bids-{lines}"), "--subject", "01",
                  "--task", "long"] + geometry))
    os.remove(recording)
for tool, index in (("recording-report", 0), ("recording-to-bids", 1)):
    short, long = peaks[50_000][index], peaks[500_000][index]
    print(f"{tool}: peak {short} KiB for 50,000 lines, {long} KiB for 500,000")
    if long - short > 2048:
        print(f"{tool}: memory grows with the file's length")
        failed = True
shutil.rmtree(scratch, ignore_errors=True)
sys.exit(1 if failed else 0)
