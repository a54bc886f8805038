#!/usr/bin/env python3
"""Checks an MSI's tables (exported with `msidump -t` into a folder) against
the validation rules Windows Installer's ICEs apply to this kind of package;
prints each breach and exits 1 when there is one.
  msi_rules.py <folder of .idt files>"""
import os
import sys

PROFILE_FOLDERS = {"AppDataFolder", "LocalAppDataFolder", "ProgramMenuFolder", "StartMenuFolder",
                   "StartupFolder", "DesktopFolder", "PersonalFolder", "FavoritesFolder", "SendToFolder",
                   "TemplateFolder", "NetHoodFolder", "PrintHoodFolder", "RecentFolder", "MyPicturesFolder"}


def table(folder, name):
    path = os.path.join(folder, name + ".idt")
    if not os.path.exists(path):
        return []
    with open(path, encoding="cp1252") as text:
        lines = [line.rstrip("\r").split("\t") for line in text.read().split("\n")]
    return [dict(zip(lines[0], line)) for line in lines[3:] if line != [""]]


def main(folder):
    breaches = []
    directories = {row["Directory"]: row for row in table(folder, "Directory")}

    def in_profile(directory):
        while directory:
            if directory in PROFILE_FOLDERS:
                return True
            directory = directories.get(directory, {}).get("Directory_Parent", "")
        return False

    registry = {row["Registry"]: row for row in table(folder, "Registry")}
    components = table(folder, "Component")
    # ICE38 and ICE43: what goes into a profile is keyed on an HKCU value of its own.
    for c in components:
        if not in_profile(c["Directory_"]):
            continue
        key = registry.get(c["KeyPath"])
        if not int(c["Attributes"]) & 4 or not key or key["Root"] not in ("1", "-1") or \
                key["Component_"] != c["Component"]:
            breaches.append(f"ICE38: component {c['Component']} is in a profile, keyed on {c['KeyPath']!r}")
    # ICE64: every folder the package makes in a profile is removed.
    removed = {row["DirProperty"] for row in table(folder, "RemoveFile") if not row["FileName"]}
    for name, row in directories.items():
        if row["DefaultDir"] != "." and in_profile(name) and name not in removed:
            breaches.append(f"ICE64: folder {name} is in a profile but not in RemoveFile")
    # ICE68: only deferred (in-script) actions may run without impersonation.
    for action in table(folder, "CustomAction"):
        kind = int(action["Type"])
        if kind & 2048 and not kind & 1024:
            breaches.append(f"ICE68: immediate action {action['Action']} has the no-impersonation bit ({kind})")
    # No two components share a key path (a file, or the same registry value).
    seen = {}
    for c in components:
        key = registry.get(c["KeyPath"])
        path = (key["Root"], key["Key"].lower(), key["Name"].lower()) if key else c["KeyPath"]
        if path and path in seen:
            breaches.append(f"key path of {c['Component']} is also that of {seen[path]}")
        seen.setdefault(path, c["Component"])
    # The entry in Settings > Apps: its icon, size and the vendor's page.
    properties = {row["Property"]: row["Value"] for row in table(folder, "Property")}
    icons = {row["Name"] for row in table(folder, "Icon")}
    if properties.get("ARPPRODUCTICON") not in icons:
        breaches.append("ARPPRODUCTICON names no icon of the Icon table")
    if not properties.get("ARPSIZE", "").isdigit() or int(properties["ARPSIZE"]) == 0:
        breaches.append(f"ARPSIZE is {properties.get('ARPSIZE')!r}")
    if not properties.get("ARPURLINFOABOUT", "").startswith("https://"):
        breaches.append(f"ARPURLINFOABOUT is {properties.get('ARPURLINFOABOUT')!r}")
    for breach in breaches:
        print(breach)
    return 1 if breaches else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
