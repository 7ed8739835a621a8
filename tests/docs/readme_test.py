#!/usr/bin/python3
"""Every path and command the README names exists.

usage: readme_test.py SOURCE_DIR HOST_SESSION SIM_SERVER PLOT_RECORDING RECORDING_REPORT RECORDING_TO_BIDS

Paths: a path into the repository (src/, tools/, tests/, scripts/, ...) exists; a path into a build
tree (build/TREE/...) names a tree the presets, the demo or the scripts make, a folder of the
sources, and, for a program or library, a CMake target. Commands: a script exists and is
executable; each --option given to a program or script is one that its --help (for the scripts
without one, its text) names; a --preset is one of CMakePresets.json.
"""
import json
import pathlib
import re
import shlex
import subprocess
import sys

source = pathlib.Path(sys.argv[1])
programs = dict(zip(["host-session", "tyvarion-sim-server", "plot-recording", "recording-report",
                     "recording-to-bids"], sys.argv[2:7]))
readme = (source / "README.md").read_text(encoding="utf-8")
failures = []

roots = ("src/", "simulator/", "tools/", "tests/", "scripts/", "docs/", "cmake/", "installer/")
presets = {p["name"] for p in json.loads((source / "CMakePresets.json").read_text())["configurePresets"]}
trees = presets | {"demo-native", "demo-mingw-x64", "demo-mingw-x86", "package"}
cmake_text = "\n".join(p.read_text() for p in source.rglob("CMakeLists.txt") if "build" not in p.parts)
targets = set(re.findall(r"add_(?:executable|library)\(\s*([\w.-]+)", cmake_text))
targets |= {"TYApi64", "TYApi32"}  # the stand-in's output names (cmake/ClientLibrary.cmake)


def help_text(command):
    if command in programs:
        run = subprocess.run([programs[command], "--help"], capture_output=True, text=True)
        return run.stdout
    if command == "scripts/demo":
        return subprocess.run([str(source / command), "--help"], capture_output=True, text=True).stdout
    return (source / command).read_text(encoding="utf-8")


helps = {}


def check_path(path):
    path = path.rstrip(".,:;)")
    if path in roots or path == "build/":
        return
    if path.startswith("build/"):
        parts = path.split("/")
        tree = parts[1].removesuffix(".log")
        if not any(re.fullmatch(tree.replace("*", ".*"), t) for t in trees) and not tree.startswith(
                "bids-validator-"):
            failures.append(f"{path}: no build tree {tree}")
            return
        rest = parts[2:]
        if rest and rest[-1] == "":
            rest = rest[:-1]
            folder = rest
            leaf = None
        else:
            folder, leaf = rest[:-1], (rest[-1] if rest else None)
        if folder and not (source.joinpath(*folder)).is_dir():
            failures.append(f"{path}: no source folder {'/'.join(folder)}")
        if leaf and re.fullmatch(r"[\w-]+(\.exe|\.dll)?", leaf) and folder:
            name = re.sub(r"\.(exe|dll)$", "", leaf)
            if name not in targets:
                failures.append(f"{path}: no CMake target {name}")
        return
    if not (source / path).exists():
        failures.append(f"{path}: does not exist")


def check_command(words):
    if not words:
        return
    command = words[0].rstrip(":,.")
    if command in roots:
        return
    if command.startswith("build/"):
        check_path(command)
        command = re.sub(r"\.exe$", "", command.rsplit("/", 1)[-1])
    if command.startswith("scripts/"):
        script = source / command
        if not script.is_file() or not script.stat().st_mode & 0o111:
            failures.append(f"{command}: not an executable script")
            return
    elif command == "ctest" or command == "cmake":
        for i, word in enumerate(words[:-1]):
            if word == "--preset" and words[i + 1] not in presets:
                failures.append(f"{' '.join(words)}: no preset {words[i + 1]}")
        return
    elif command not in programs:
        return
    if command not in helps:
        helps[command] = help_text(command)
    for word in words[1:]:
        if word in ("&&", "|", ";", "#"):
            break
        option = re.match(r"\[?(--[a-z0-9-]+)", word)
        if option and option.group(1) != "--help" and not re.search(re.escape(option.group(1)) + r"\b", helps[command]):
            failures.append(f"{' '.join(words)}: {command} has no option {option.group(1)}")


def words_of(text):
    text = text.split(" #", 1)[0]
    try:
        return shlex.split(text)
    except ValueError:
        return text.split()


# Code blocks: each line (joined over trailing backslashes) is a command.
blocks = re.findall(r"(?ms)^ *```(\w*)\n(.*?)^ *```", readme)
for language, body in blocks:
    if language not in ("sh", ""):
        continue
    for line in body.replace("\\\n", " ").splitlines():
        line = line.strip()
        if language == "sh" or line.startswith(("scripts/", "build/")):
            check_command(words_of(line))
prose = re.sub(r"(?ms)^ *```.*?^ *```", "", readme)
for span in re.findall(r"`([^`\n]+)`", prose):
    words = words_of(span)
    if words and (words[0] in programs or words[0].startswith(("scripts/", "build/", "cmake", "ctest"))):
        check_command(words)
    for word in span.split():
        if word.startswith(roots) or word.startswith("build/"):
            check_path(word)
for link in re.findall(r"\]\(([^)#][^)]*)\)", readme):
    if not link.startswith("http"):
        check_path(link)
# Paths in code blocks (a layout, a command's arguments).
for language, body in blocks:
    for word in re.findall(r"(?<![\w/.~-])((?:%s)[\w./*-]*)" % "|".join(re.escape(r) for r in roots + ("build/",)),
                           body):
        check_path(word)

# The layout's lists of scripts and test areas name what is there, and all of it.
for language, body in blocks:
    if "src/platform/" not in body:
        continue
    entries = re.findall(r"(?m)^(\w+)/ +(.*(?:\n {16}.*)*)", body)
    for folder, text in entries:
        if folder not in ("scripts", "tests"):
            continue
        text = re.sub(r"\([^)]*\)", "", text)
        listed = {w.strip() for w in re.split(r"[,\s]+", text) if w.strip()}
        listed = {w for w in listed if re.fullmatch(r"[\w-]+", w)}
        present = {p.name for p in (source / folder).iterdir()
                   if (p.is_dir() if folder == "tests" else p.is_file() and p.stat().st_mode & 0o111)}
        for name in sorted(listed - present):
            failures.append(f"Layout: {folder}/{name} does not exist")
        for name in sorted(present - listed):
            failures.append(f"Layout: {folder}/{name} is not listed")

for failure in failures:
    print("README:", failure)
print(f"{len(failures)} README names that do not exist")
sys.exit(1 if failures else 0)
