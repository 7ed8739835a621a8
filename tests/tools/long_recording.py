#!/usr/bin/python3
"""Writes a long recording in the plug-in's format: LINES sample lines at 2000 Hz
with a noisy gaze that jumps every 0.5 s, a blink of 75 ms every 1.5 s, and a
trigger and a message every 2 s.

    long_recording.py FILE LINES
"""
import random
import sys

HEADER = ("Sep=;\ntimestamp [us];\tindex;\tPOR X [px];\tPOR Y [px];\tPOR Left X [px];\tPOR Left Y [px];"
          "\tPupil Diam Left [mm];\tPOR Right X [px];\tPOR Right Y [px];\tPupil Diam Right [mm]\n")


def write(path, lines):
    rng = random.Random(7)
    noise = [rng.gauss(0, 0.5) for _ in range(4099)]
    with open(path, "w", encoding="utf-8", newline="\n") as out:
        out.write(HEADER)
        chunk = []
        x, y = 960.0, 540.0
        for i in range(lines):
            if i % 4000 == 0:
                chunk.append(f"trigger: {i // 4000 + 1}\nmessage: trial {i // 4000 + 1} \u00fcber \u65e5\u672c\n")
            if i % 1000 == 0:
                x, y = 200 + (i * 7919) % 1500, 100 + (i * 104729) % 880
            t = 1_000_000 + i * 500
            if i % 3000 < 150:
                chunk.append(f"{t};{i};INVALID;INVALID;INVALID;INVALID;INVALID;INVALID;INVALID;INVALID;\n")
            else:
                n = noise[i % 4099]
                m = noise[(i * 31) % 4099]
                chunk.append(f"{t};{i};{x + n:.6g};{y + m:.6g};{x + n - 3:.6g};{y + m:.6g};4.12;"
                             f"{x + n + 3:.6g};{y + m:.6g};4.25;\n")
            if len(chunk) >= 10000:
                out.write("".join(chunk))
                chunk.clear()
        out.write("".join(chunk))


if __name__ == "__main__":
    write(sys.argv[1], int(sys.argv[2]))
