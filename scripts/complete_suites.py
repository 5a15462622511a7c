#!/usr/bin/env python3
"""Writes an apt sources file that lists only the suites whose package
indexes apt holds for both amd64 and i386, so that an install of Wine's two
sides is resolved against versions that both architectures have. Prints the
suites kept and those left out, for setup.sh to report.

    complete_suites.py OUTPUT_FILE
"""
import glob
import re
import subprocess
import sys


def index_targets():
    """(site, suite, component) -> set of architectures apt has an index of."""
    text = subprocess.run(
        ["apt-get", "indextargets", "--format", "$(SITE)|$(RELEASE)|$(COMPONENT)|$(ARCHITECTURE)",
         "Identifier: Packages"], check=True, capture_output=True, text=True).stdout
    targets = {}
    for line in text.splitlines():
        parts = line.split("|")
        if len(parts) == 4:
            targets.setdefault(tuple(parts[:3]), set()).add(parts[3])
    return targets


def signing_keys():
    """site -> the keyring its sources name (Signed-By / signed-by=), if any."""
    keys = {}
    for path in glob.glob("/etc/apt/sources.list.d/*.sources"):
        for stanza in re.split(r"\n\s*\n", open(path).read()):
            fields = dict(re.findall(r"^([A-Za-z-]+):\s*(.*)$", stanza, re.M))
            for uri in fields.get("URIs", "").split():
                if "Signed-By" in fields:
                    keys[uri.rstrip("/")] = fields["Signed-By"].strip()
    for path in ["/etc/apt/sources.list"] + glob.glob("/etc/apt/sources.list.d/*.list"):
        try:
            lines = open(path).read().splitlines()
        except OSError:
            continue
        for line in lines:
            match = re.match(r"\s*deb\s+\[([^\]]*)\]\s+(\S+)", line)
            if match:
                key = re.search(r"signed-by=(\S+)", match.group(1))
                if key:
                    keys[match.group(2).rstrip("/")] = key.group(1)
    return keys


def main():
    targets = index_targets()
    keys = signing_keys()
    kept, left_out = [], []
    lines = []
    for (site, suite, component), architectures in sorted(targets.items()):
        name = f"{site} {suite}/{component}"
        if {"amd64", "i386"} <= architectures:
            kept.append(name)
            key = keys.get(site.rstrip("/"))
            options = f"[arch=amd64,i386{' signed-by=' + key if key else ''}] "
            lines.append(f"deb {options}{site} {suite} {component}")
        elif "amd64" in architectures:
            left_out.append(name)
    with open(sys.argv[1], "w") as out:
        out.write("\n".join(lines) + "\n")
    print("kept: " + (", ".join(kept) or "none"))
    print("left out (no i386 index): " + (", ".join(left_out) or "none"))
    return 0 if kept else 1


if __name__ == "__main__":
    sys.exit(main())
