#!/usr/bin/env python3
"""Writes the bill of materials (CycloneDX 1.5 JSON) of GlanceRefresher.exe to
standard output: every library and start-up object the linker took into the
exe, read from its link map, with the version of the Debian package that
holds it on the build machine, and the compiler that built it.

Usage: sbom.py --exe EXE --map MAP --compiler PATH --version 7.00 --epoch SECONDS
"""
import argparse
import datetime
import hashlib
import json
import os
import re
import subprocess
import sys
import uuid

# The licences of the toolchain's parts, by the file's name (the Debian
# packages' copyright files say the same, in prose).
GCC_RUNTIME = "GPL-3.0-or-later WITH GCC-exception-3.1"
LICENCES = [
    (re.compile(r"^(libstdc\+\+|libsupc\+\+|libgcc.*|crtbegin|crtend|crtfastmath)\.(a|o)$"), GCC_RUNTIME),
    (re.compile(r"^lib(win)?pthread\.a$"), "MIT AND BSD-3-Clause"),
]
MINGW_RUNTIME = "ZPL-2.1"  # the MinGW-w64 CRT, its start-up objects and import libraries
# A namespace of this program's own, for the SBOM's serial number.
SBOM_NAMESPACE = uuid.UUID("6F1B7C2E-5D0A-4C39-9E61-3A8C0B4D2F17")


def linked_files(map_path):
    """The absolute paths of the archives that gave the exe at least one
    member, and of the objects loaded whole, in the order the map names them.
    Relative paths are the program's own objects and libraries."""
    members = re.compile(r"^(/[^\s(]+\.a)\(")
    loaded = re.compile(r"^LOAD (/\S+\.o)$")
    seen = {}
    with open(map_path, encoding="utf-8", errors="replace") as text:
        for line in text:
            match = members.match(line) or loaded.match(line.rstrip("\n"))
            if match:
                seen.setdefault(os.path.realpath(match.group(1)), None)
    return list(seen)


def debian_package(path):
    """(package, version, architecture) of the installed package that holds path."""
    found = subprocess.run(["dpkg-query", "--search", path], capture_output=True, text=True)
    if found.returncode != 0:
        return None
    package = found.stdout.split(":", 1)[0].split(",")[0].strip()
    fields = subprocess.run(["dpkg-query", "-W", "-f", "${Version} ${Architecture}", package],
                            capture_output=True, text=True, check=True).stdout.split()
    return package, fields[0], fields[1]


def licence(name):
    for pattern, expression in LICENCES:
        if pattern.match(name):
            return expression
    return MINGW_RUNTIME


def component(path, kind):
    name = os.path.basename(path)
    owner = debian_package(path)
    if owner is None:
        sys.exit(f"sbom.py: {path} belongs to no installed package")
    package, version, arch = owner
    return {
        "type": kind,
        "bom-ref": f"{package}:{name}",
        "name": name if kind == "library" else package,
        "version": version,
        "purl": f"pkg:deb/debian/{package}@{version}?arch={arch}",
        "licenses": [{"expression": licence(name) if kind == "library" else GCC_RUNTIME}],
        "properties": [{"name": "deb:package", "value": package}, {"name": "path", "value": path}],
    }


def main():
    parser = argparse.ArgumentParser()
    for option in ("--exe", "--map", "--compiler", "--version", "--epoch"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()

    with open(args.exe, "rb") as exe:
        digest = hashlib.sha256(exe.read()).hexdigest()
    files = linked_files(args.map)
    if not files:
        sys.exit(f"sbom.py: {args.map} names no library")
    stamp = datetime.datetime.fromtimestamp(int(args.epoch), datetime.timezone.utc)
    compiler = component(os.path.realpath(args.compiler), "application")
    bom = {
        "bomFormat": "CycloneDX",
        "specVersion": "1.5",
        "serialNumber": f"urn:uuid:{uuid.uuid5(SBOM_NAMESPACE, digest)}",
        "version": 1,
        "metadata": {
            "timestamp": stamp.strftime("%Y-%m-%dT%H:%M:%SZ"),
            "tools": {"components": [compiler]},
            "component": {
                "type": "application",
                "bom-ref": "GlanceRefresher.exe",
                "name": "GlanceRefresher.exe",
                "version": args.version,
                "supplier": {"name": "Quillhaven", "url": ["https://www.quillhaven.com/"]},
                "hashes": [{"alg": "SHA-256", "content": digest}],
            },
        },
        "components": [component(path, "library") for path in files],
    }
    bom["dependencies"] = [{"ref": "GlanceRefresher.exe",
                            "dependsOn": [part["bom-ref"] for part in bom["components"]]}]
    json.dump(bom, sys.stdout, indent=2)
    sys.stdout.write("\n")


if __name__ == "__main__":
    main()
