#!/usr/bin/python3
"""recording-report and recording-to-bids stream a recording: ten times the
lines take no more memory, and neither does one line of 50 MiB. Each tool runs
on 50,000 and on 500,000 sample lines, and on the 50,000 with a message of
50 MiB among them; the peak resident memory of the longer runs may exceed that
of the shorter by at most 2 MiB (the per-trial figures and the 250 triggers and
messages more).

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


def with_long_line(path, source):
    with open(source, "rb") as lines, open(path, "wb") as out:
        for number, line in enumerate(lines):
            out.write(line)
            if number == 10_000:
                out.write(b"message: ")
                block = b"x" * (1 << 20)
                for _ in range(50):
                    out.write(block)
                out.write(b"\n")


failed = False
peaks = {}
geometry = ["--screen-mm", "531x299", "--distance-mm", "650"]
for lines in (50_000, 500_000, "50,000 and a line of 50 MiB"):
    recording = os.path.join(scratch, f"long-{len(peaks)}.csv")
    if lines == 500_000 or lines == 50_000:
        long_recording.write(recording, lines)
    else:
        short = os.path.join(scratch, "short.csv")
        long_recording.write(short, 50_000)
        with_long_line(recording, short)
        os.remove(short)
    peaks[lines] = (
        peak_kib([report, recording, "--per-trial", "--json", recording + ".json"] + geometry),
        peak_kib([export, recording, "--out", os.path.join(scratch, f"bids-{len(peaks)}"), "--subject", "01",
                  "--task", "long"] + geometry))
    os.remove(recording)
for tool, index in (("recording-report", 0), ("recording-to-bids", 1)):
    short = peaks[50_000][index]
    for lines in (500_000, "50,000 and a line of 50 MiB"):
        long = peaks[lines][index]
        shown = f"{lines:,}" if isinstance(lines, int) else lines
        print(f"{tool}: peak {short} KiB for 50,000 lines, {long} KiB for {shown}")
        if long - short > 2048:
            print(f"{tool}: memory grows with the file's length or its longest line")
            failed = True
shutil.rmtree(scratch, ignore_errors=True)
sys.exit(1 if failed else 0)
