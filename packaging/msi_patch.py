#!/usr/bin/env python3
"""Writes into an MSI that wixl (0.101) built what wixl drops or cannot
express, by table and column name, then reads every patched table back from
the MSI and fails unless each patch is there.

  msi_patch.py <msi> <wxs> <files folder> <work folder>

What it patches (the WiX source says what was meant; wixl writes otherwise):
- CustomAction: Execute="rollback" becomes the rollback type (in-script 1024
  + rollback 256), Execute="commit" the commit type (in-script 1024 + commit
  512), each keeping Impersonate="no"; immediate actions lose the
  no-impersonation bit (2048), which only in-script actions may carry; an
  impersonated in-script action is terminal-server aware (16384), so that a
  per-machine install on a Remote Desktop host runs it as the user, not as
  SYSTEM (WiX's TerminalServerAware, which wixl does not know).
- Component: the per-machine start-up entry (StartForEveryone) is installed
  only when AUTOSTART = 1, a property passed from the command line and so
  among the secure properties.
- Upgrade: the row that detects older versions takes the same version too
  (VersionMaxInclusive 512): every rebuild is a product of its own and
  replaces the installed one.
- Registry: HKMU, the root that follows ALLUSERS, is -1 (wixl writes 4).
- Feature: Absent="disallow" is the attribute 16 (UIDisallowAbsent).
- File: an exe or DLL gets the file version and language of its version
  record, so that Windows Installer compares versions, not hashes, and a
  versioned file loses its MsiFileHash row.
"""
import os
import re
import shutil
import struct
import subprocess
import sys
import xml.etree.ElementTree as ET

IN_SCRIPT, ROLLBACK, COMMIT, NO_IMPERSONATE, TS_AWARE = 1024, 256, 512, 2048, 16384
CONDITIONS = {"StartForEveryone": "AUTOSTART = 1"}  # component -> condition
SECURE = "AUTOSTART"  # the property those conditions read
VERSION_MAX_INCLUSIVE, DISALLOW_ABSENT = 512, 16


def die(message):
    sys.exit(f"msi_patch.py: {message}")


def source_elements(wxs, defines=None):
    """The WiX elements of the file and of the files it includes, as
    (element name without its namespace, attributes), with the variables
    that <?define ?> sets ($(var.Name)) put in."""
    defines = dict(defines or {})
    text = open(wxs, encoding="utf-8").read()
    defines.update(re.findall(r'<\?define\s+(\w+)\s*=\s*"([^"]*)"\s*\?>', text))
    expanded = re.sub(r"\$\(var\.(\w+)\)", lambda m: defines.get(m.group(1), m.group(0)), text)
    elements = [(e.tag.split("}")[-1], e.attrib) for e in ET.fromstring(expanded.encode()).iter()]
    for name in re.findall(r"<\?include\s+(\S+)\s*\?>", text):
        elements += source_elements(os.path.join(os.path.dirname(wxs), name), defines)
    return elements


def pe_version(path):
    """(file version "a.b.c.d", language) of a PE file's version record."""
    data = open(path, "rb").read()
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        return None
    ms, ls = struct.unpack_from("<II", data, at + 8)
    # The string table's key: language and code page as 8 hex digits, UTF-16.
    table = re.search(rb"((?:[0-9A-Fa-f]\x00){8})\x00\x00", data[at:])
    language = str(int(table.group(1).decode("utf-16-le")[:4], 16)) if table else ""
    return f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}", language


def dump(msi, folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    subprocess.run(["msidump", "-t", os.path.abspath(msi)], cwd=folder, check=True, stdout=subprocess.DEVNULL)


def read_table(folder, name):
    """(the three header lines, rows as dicts by column name)."""
    lines = open(os.path.join(folder, name + ".idt"), encoding="cp1252", newline="").read().split("\r\n")
    columns = lines[0].split("\t")
    return lines[:3], [dict(zip(columns, line.split("\t"))) for line in lines[3:] if line]


def write_table(folder, name, header, rows):
    columns = header[0].split("\t")
    lines = header + ["\t".join(row[c] for c in columns) for row in rows]
    open(os.path.join(folder, name + ".idt"), "w", encoding="cp1252", newline="").write("\r\n".join(lines) + "\r\n")


def patches(elements, files):
    """table -> function(rows) -> the rows as they must be."""
    rollback = {e.get("Id") for tag, e in elements if tag == "CustomAction" and e.get("Execute") == "rollback"}
    commit = {e.get("Id") for tag, e in elements if tag == "CustomAction" and e.get("Execute") == "commit"}
    no_impersonation = {e.get("Id") for tag, e in elements if tag == "CustomAction" and e.get("Impersonate") == "no"}
    disallow = {e.get("Id") for tag, e in elements if tag == "Feature" and e.get("Absent") == "disallow"}
    conditioned = {e.get("Id") for tag, e in elements if tag == "Component"} & CONDITIONS.keys()
    versions = {}

    def custom_actions(rows):
        if (rollback | commit) - {row["Action"] for row in rows}:
            die(f"no rollback or commit action {rollback | commit} in the CustomAction table")
        for row in rows:
            kind = int(row["Type"])
            if row["Action"] in rollback | commit:
                kind = (kind & ~(ROLLBACK | COMMIT)) | IN_SCRIPT | (ROLLBACK if row["Action"] in rollback else COMMIT)
                kind = kind | NO_IMPERSONATE if row["Action"] in no_impersonation else kind & ~NO_IMPERSONATE
            elif not kind & IN_SCRIPT:
                kind &= ~NO_IMPERSONATE
            if kind & IN_SCRIPT and not kind & NO_IMPERSONATE:
                kind |= TS_AWARE
            row["Type"] = str(kind)
        return rows

    def upgrade(rows):
        for row in rows:
            if row["ActionProperty"] == "WIX_UPGRADE_DETECTED":
                row["Attributes"] = str(int(row["Attributes"]) | VERSION_MAX_INCLUSIVE)
        return rows

    def registry(rows):
        for row in rows:
            row["Root"] = "-1" if row["Root"] == "4" else row["Root"]
        return rows

    def feature(rows):
        if disallow - {row["Feature"] for row in rows}:
            die(f"no feature {disallow} in the Feature table")
        for row in rows:
            if row["Feature"] in disallow:
                row["Attributes"] = str(int(row["Attributes"]) | DISALLOW_ABSENT)
        return rows

    def component(rows):
        for row in rows:
            if row["Component"] in conditioned:
                row["Condition"] = CONDITIONS[row["Component"]]
        return rows

    def properties(rows):
        for row in rows:
            if conditioned and row["Property"] == "SecureCustomProperties":
                row["Value"] = ";".join([SECURE] + [p for p in row["Value"].split(";") if p and p != SECURE])
        return rows

    def file(rows):
        for row in rows:
            name = row["FileName"].split("|")[-1]
            if name.lower().endswith((".exe", ".dll")):
                found = pe_version(os.path.join(files, name))
                if not found:
                    die(f"{name} has no version record")
                row["Version"], row["Language"] = versions[row["File"]] = found
        return rows

    def file_hash(rows):
        if not versions:
            die("no exe or DLL in the File table")
        return [row for row in rows if row["File_"] not in versions]

    # File before MsiFileHash: the hashes to drop are those of versioned files.
    return {"CustomAction": custom_actions, "Upgrade": upgrade, "Registry": registry, "Feature": feature,
            "Component": component, "Property": properties, "File": file, "MsiFileHash": file_hash}


def main(msi, wxs, files, work):
    before, after = os.path.join(work, "before"), os.path.join(work, "after")
    dump(msi, before)
    wanted = {}
    for name, patch in patches(source_elements(wxs), files).items():
        if not os.path.exists(os.path.join(before, name + ".idt")):
            continue
        header, rows = read_table(before, name)
        wanted[name] = patch(rows)
        write_table(before, name, header, wanted[name])
    subprocess.run(["msibuild", os.path.abspath(msi)] + [arg for name in wanted for arg in ("-i", name + ".idt")],
                   cwd=before, check=True)
    dump(msi, after)
    for name, rows in wanted.items():
        key = lambda row: sorted(row.items())
        if sorted(read_table(after, name)[1], key=key) != sorted(rows, key=key):
            die(f"the {name} table of {msi} did not take its patch")
    shutil.rmtree(work)


if __name__ == "__main__":
    if len(sys.argv) != 5:
        die(__doc__)
    main(*sys.argv[1:])
