#!/usr/bin/env python3
"""The state of a Wine prefix, to compare before and after: every registry key
and value (from the prefix's .reg files, which Wine writes when its server
ends) and every file and folder under drive_c.

    wine_state.py snapshot PREFIX OUT.json
    wine_state.py compare BEFORE.json AFTER.json
compare prints each difference that is not an allowed one and exits with 1
when there is any.
"""
import json
import os
import re
import sys

# Differences that are not the product's: Wine's own bookkeeping, rewritten
# whenever a prefix starts, the temporary folder, and the uninstaller's copy
# of itself there, which Windows removes at the next restart.
ALLOWED = [
    (r"HKCU\\Software\\Wine(\\.*)?", None, "Wine's own settings"),
    (r"HKLM\\Software\\Wine(\\.*)?", None, "Wine's own settings"),
    (r"HKLM\\System\\CurrentControlSet\\(Control\\Class|Enum)(\\.*)?", None,
     "Wine's devices, registered anew, with a time and a count, at each start"),
    (r"HKLM\\System\\CurrentControlSet\\Control\\Session Manager", "PendingFileRenameOperations",
     "the uninstaller's copy in the temporary folder, removed at the next restart"),
    (r"file:drive_c/users/[^/]+/Temp(/.*)?", None, "the temporary folder"),
    (r"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\MMDevices(\\.*)?", None,
     "Wine's audio devices, registered when a program first plays (the wallpaper's music)"),
    (r"HKLM\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall", None,
     "the 32-bit view's uninstall folder, which Windows always has; a prefix without Wine's 32-bit side lacks it "
     "until the installer writes its entry there"),
]


def registry(path, root):
    """{key: {value name: data as written}} of one .reg file."""
    keys = {}
    current = None
    pending = ""
    with open(path, encoding="utf-8", errors="surrogateescape") as lines:
        for line in lines:
            line = pending + line.rstrip("\n")
            pending = ""
            if line.endswith("\\") and current is not None and not line.startswith("["):
                pending = line[:-1]
                continue
            if line.startswith("["):
                name = re.match(r"\[(.*)\](?: \d+)?$", line).group(1)
                current = keys.setdefault(root + "\\" + name.replace("\\\\", "\\"), {})
            elif current is not None and (line.startswith('"') or line.startswith("@")):
                match = re.match(r'(@|"(?:[^"\\]|\\.)*")=(.*)$', line)
                current[match.group(1)] = match.group(2).strip()
    return keys


def files(prefix):
    """{relative path: size and modification time, or "folder"}."""
    found = {}
    top = os.path.join(prefix, "drive_c")
    for folder, folders, names in os.walk(top):
        for name in folders:
            found["file:" + os.path.relpath(os.path.join(folder, name), prefix)] = "folder"
        for name in names:
            path = os.path.join(folder, name)
            info = os.lstat(path)
            found["file:" + os.path.relpath(path, prefix)] = f"{info.st_size} bytes, {info.st_mtime_ns}"
    return found


def snapshot(prefix, out):
    state = {"registry": {}, "files": files(prefix)}
    state["registry"].update(registry(os.path.join(prefix, "system.reg"), "HKLM"))
    state["registry"].update(registry(os.path.join(prefix, "user.reg"), "HKCU"))
    with open(out, "w") as stream:
        json.dump(state, stream)


def allowed(key, value=None):
    for key_pattern, value_pattern, _ in ALLOWED:
        if re.fullmatch(key_pattern, key, re.IGNORECASE):
            if value_pattern is None or (value is not None and re.fullmatch(f'"?({value_pattern})"?', value)):
                return True
    return False


def compare(before_path, after_path):
    before = json.load(open(before_path))
    after = json.load(open(after_path))
    differences = []
    old_keys, new_keys = before["registry"], after["registry"]
    for key in sorted(set(old_keys) | set(new_keys)):
        if key not in new_keys:
            if not allowed(key):
                differences.append(f"key removed: {key}")
            continue
        if key not in old_keys:
            if not allowed(key):
                differences.append(f"key added:   {key} {new_keys[key]}")
            continue
        old, new = old_keys[key], new_keys[key]
        for name in sorted(set(old) | set(new)):
            if old.get(name) != new.get(name) and not allowed(key, name):
                differences.append(f"value:       {key} {name}: {old.get(name, '(missing)')} -> "
                                   f"{new.get(name, '(missing)')}")
    old_files, new_files = before["files"], after["files"]
    for path in sorted(set(old_files) | set(new_files)):
        if old_files.get(path) != new_files.get(path) and not allowed(path):
            differences.append(f"file:        {path[5:]}: {old_files.get(path, '(missing)')} -> "
                               f"{new_files.get(path, '(missing)')}")
    for line in differences:
        print(line)
    return 1 if differences else 0


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "snapshot":
        snapshot(sys.argv[2], sys.argv[3])
        return 0
    if len(sys.argv) == 4 and sys.argv[1] == "compare":
        return compare(sys.argv[2], sys.argv[3])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main())
