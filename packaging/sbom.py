#!/usr/bin/env python3
"""Writes the bill of materials (CycloneDX 1.5 JSON) of what the release ships
to standard output: GlanceRefresher.exe and the installers' custom-action DLL,
each with its hash, the cursor file installed beside the exe, and every library and start-up object the linker took
into each, read from its link map, with the version of the Debian package
that holds it on the build machine; and the tools that built them.

Usage: sbom.py --exe EXE --map MAP --dll DLL --dll-map MAP --cursor CUR --tool PATH... --version 7.00 --epoch SECONDS
       sbom.py --signed SBOM --exe EXE --dll DLL
The second form writes the SBOM of the unsigned build again, for the signed
exe and DLL: their hashes, and the serial number that follows from them.
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

# The licences of the toolchain's parts, by the file's name, as the Debian
# packages' copyright files give them for the sources each part is built from.
GCC_RUNTIME = "GPL-3.0-or-later WITH GCC-exception-3.1"
# MinGW-w64: the start-up code (crt/) is in the public domain, the rest is
# ZPL-2.1; libmingwex also holds David Gay's gdtoa (Lucent's permission
# notice), Sun's and BSD maths and BSD/ISC helpers.
MINGW_PUBLIC_DOMAIN = "LicenseRef-MinGW-w64-public-domain"
MINGW_RUNTIME = f"ZPL-2.1 AND {MINGW_PUBLIC_DOMAIN}"
LICENCES = [
    (re.compile(r"^(libstdc\+\+|libsupc\+\+|libgcc.*|crtbegin|crtend|crtfastmath)\.(a|o)$"), GCC_RUNTIME),
    (re.compile(r"^lib(win)?pthread\.a$"), "MIT AND BSD-3-Clause"),
    (re.compile(r"^(crt2|dllcrt2|libmingw32)\.(a|o)$"), MINGW_PUBLIC_DOMAIN),
    (re.compile(r"^libmingwex\.a$"),
     f"{MINGW_RUNTIME} AND LicenseRef-MinGW-w64-gdtoa AND SunPro AND BSD-2-Clause AND BSD-3-Clause AND ISC"),
]
TOOL_LICENCE = "GPL-3.0-or-later"  # GCC and binutils themselves
# The program's own parts.
OWN_LICENCE = "LicenseRef-Quillhaven-Proprietary"
SUPPLIER = {"name": "Quillhaven", "url": ["https://www.quillhaven.com/"]}
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
    """A library linked in, or a tool (an application) that built the parts."""
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
        "licenses": [{"expression": licence(name) if kind == "library" else TOOL_LICENCE}],
        "properties": [{"name": "deb:package", "value": package}, {"name": "path", "value": path}],
    }


def sha256(path):
    with open(path, "rb") as file:
        return hashlib.sha256(file.read()).hexdigest()


def own_part(path, version, description, kind="application"):
    """A file the release ships, made by this project."""
    name = os.path.basename(path)
    digest = sha256(path)
    return {
        "type": kind,
        "bom-ref": name,
        "supplier": SUPPLIER,
        "name": name,
        "version": version,
        "description": description,
        "hashes": [{"alg": "SHA-256", "content": digest}],
        "licenses": [{"expression": OWN_LICENCE}],
        "purl": f"pkg:generic/quillhaven/{name.lower()}@{version}",
    }


def serial_number(bom):
    """One per version and content: name-based on the version and the hash of
    every part the release ships, so that two versions of the same exe differ."""
    program = bom["metadata"]["component"]
    parts = [program] + program.get("components", []) + [c for c in bom["components"] if "hashes" in c]
    text = " ".join([program["version"]] + [p["hashes"][0]["content"] for p in parts])
    return f"urn:uuid:{uuid.uuid5(SBOM_NAMESPACE, text)}"


def signed(args):
    """The unsigned build's SBOM with the signed exe's and DLL's hashes."""
    with open(args.signed, encoding="utf-8") as file:
        bom = json.load(file)
    parts = {c["bom-ref"]: c for c in [bom["metadata"]["component"]] + bom["components"]}
    for path in (args.exe, args.dll):
        part = parts.get(os.path.basename(path))
        if part is None:
            sys.exit(f"sbom.py: {args.signed} does not name {os.path.basename(path)}")
        part["hashes"] = [{"alg": "SHA-256", "content": sha256(path)}]
    bom["serialNumber"] = serial_number(bom)
    return bom


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--signed")
    for option in ("--exe", "--dll"):
        parser.add_argument(option, required=True)
    for option in ("--map", "--dll-map", "--cursor", "--version", "--epoch"):
        parser.add_argument(option)
    parser.add_argument("--tool", action="append")
    args = parser.parse_args()
    if args.signed:
        json.dump(signed(args), sys.stdout, indent=2)
        sys.stdout.write("\n")
        return
    missing = [o for o in ("map", "dll_map", "cursor", "tool", "version", "epoch") if not getattr(args, o)]
    if missing:
        parser.error("missing --" + ", --".join(o.replace("_", "-") for o in missing))

    exe = own_part(args.exe, args.version, "The program")
    dll = own_part(args.dll, args.version, "The installers' custom actions (carried in both MSIs)", "library")
    # The hand pointer the program loads from its own folder: shipped beside
    # it in both MSIs and the zip, so a part of it.
    exe["components"] = [own_part(args.cursor, args.version, "The program's hand pointer, beside it", "file")]
    libraries, dependencies = {}, []
    for part, map_path in ((exe, args.map), (dll, args.dll_map)):
        files = linked_files(map_path)
        if not files:
            sys.exit(f"sbom.py: {map_path} names no library")
        for path in files:
            libraries.setdefault(path, component(path, "library"))
        dependencies.append({"ref": part["bom-ref"], "dependsOn": [libraries[path]["bom-ref"] for path in files]})
    stamp = datetime.datetime.fromtimestamp(int(args.epoch), datetime.timezone.utc)
    tools = {}
    for path in args.tool:
        tool = component(os.path.realpath(path), "application")
        tools.setdefault(tool["bom-ref"].split(":")[0], tool)
    bom = {
        "bomFormat": "CycloneDX",
        "specVersion": "1.5",
        "serialNumber": "",
        "version": 1,
        "metadata": {
            "timestamp": stamp.strftime("%Y-%m-%dT%H:%M:%SZ"),
            "tools": {"components": list(tools.values())},
            "component": exe,
        },
        "components": [dll] + list(libraries.values()),
        "dependencies": dependencies + [{"ref": lib["bom-ref"]} for lib in libraries.values()],
    }
    bom["serialNumber"] = serial_number(bom)
    json.dump(bom, sys.stdout, indent=2)
    sys.stdout.write("\n")


if __name__ == "__main__":
    main()
