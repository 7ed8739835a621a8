"""The recording both recipes' tests read: text lines before the first sample,
INVALID values, the tracker's marker for a Y missing beside a valid X, a
message holding ";" and ": ", a message that looks like a sample line, CR LF
line ends, a gap in index, a trigger after the last sample; and the recipe
as the README gives it, made to read that recording."""
import re

HEADER = ("timestamp [us];\tindex;\tPOR X [px];\tPOR Y [px];\tPOR Left X [px];\tPOR Left Y [px];"
          "\tPupil Diam Left [mm];\tPOR Right X [px];\tPOR Right Y [px];\tPupil Diam Right [mm]")
LINES = [
    "Sep=;", HEADER,
    "trigger: 1",
    "message: trial 1; start: now",
    "1765184799000123;41;959.5;540.25;957.5;540.25;5.42;961.5;540.25;5.61;",
    "1765184799002125;42;INVALID;INVALID;INVALID;INVALID;INVALID;INVALID;INVALID;INVALID;",
    "trigger: 2",
    "message: 1;2;3;4;5;6;7;8;9;10;",
    "1765184799004127;43;962;-1.79769e+308;960;538;5.4;INVALID;INVALID;5.6;",
    "1765184799006129;45;1e-05;1.23457e+06;960;538;5.4;964;538;5.6;",
    "trigger: 3",
]
# kind, text, time stamp and index of the sample line before it (above the
# first: the first's), and whether it stands above the first
EXPECTED_EVENTS = [
    ("trigger", "1", 1765184799000123, 41, True),
    ("message", "trial 1; start: now", 1765184799000123, 41, True),
    ("trigger", "2", 1765184799002125, 42, False),
    ("message", "1;2;3;4;5;6;7;8;9;10;", 1765184799002125, 42, False),
    ("trigger", "3", 1765184799006129, 45, False),
]


# The file the README's recipes read.
README_RECORDING = "tyvarion_NBS_2026-12-08-08-06-39.csv"


def write_recording(path):
    path.write_bytes(("\r\n".join(LINES) + "\r\n").encode("utf-8"))
    return path


def readme_recipe(source, pattern, language, recording):
    """The README's one recipe that `pattern` finds (its code in group 1,
    indented by two under a list item), reading `recording` instead."""
    readme = (source / "README.md").read_text(encoding="utf-8")
    blocks = re.findall(pattern, readme, re.S)
    assert len(blocks) == 1, f"{len(blocks)} {language} recipes in the README"
    recipe = "\n".join(line[2:] for line in blocks[0].splitlines())
    assert README_RECORDING in recipe, f"the {language} recipe does not read {README_RECORDING}"
    return recipe.replace(README_RECORDING, str(recording))
