#!/usr/bin/env python3
"""Checks an MSI's tables (exported with `msidump -t` into a folder) against
the validation rules Windows Installer's ICEs apply to this kind of package,
and against what wixl drops without a warning; prints each breach and exits
1 when there is one.
  msi_rules.py <folder of .idt files>
check(load(folder)) gives the breaches of tables held in memory."""
import os
import sys

PROFILE_FOLDERS = {"AppDataFolder", "LocalAppDataFolder", "ProgramMenuFolder", "StartMenuFolder",
                   "StartupFolder", "DesktopFolder", "PersonalFolder", "FavoritesFolder", "SendToFolder",
                   "TemplateFolder", "NetHoodFolder", "PrintHoodFolder", "RecentFolder", "MyPicturesFolder"}
# The shell folders that ALLUSERS=1 turns into the all-users ones.
ALL_USERS_FOLDERS = {"AppDataFolder", "ProgramMenuFolder", "StartMenuFolder", "StartupFolder", "DesktopFolder",
                     "TemplateFolder"}
IN_SCRIPT, NO_IMPERSONATE, TS_AWARE, DISALLOW_ABSENT = 1024, 2048, 16384, 16


def load(folder):
    """Every table of the folder: name -> rows, each a dict by column name."""
    tables = {}
    for name in os.listdir(folder):
        if name.endswith(".idt"):
            with open(os.path.join(folder, name), encoding="cp1252") as text:
                lines = [line.rstrip("\r").split("\t") for line in text.read().split("\n")]
            tables[name[:-4]] = [dict(zip(lines[0], line)) for line in lines[3:] if line != [""]]
    return tables


def check(tables):
    table = lambda name: tables.get(name, [])
    breaches = []
    directories = {row["Directory"]: row for row in table("Directory")}
    properties = {row["Property"]: row["Value"] for row in table("Property")}
    per_machine = properties.get("ALLUSERS") == "1"

    def profile_root(directory):
        while directory:
            if directory in PROFILE_FOLDERS:
                return directory
            directory = directories.get(directory, {}).get("Directory_Parent", "")
        return None

    def folder_scope(directory):
        root = profile_root(directory)
        return "user" if root and not (per_machine and root in ALL_USERS_FOLDERS) else "machine"

    def registry_scope(root):
        return "user" if root == "1" or (root == "-1" and not per_machine) else "machine"

    registry = {row["Registry"]: row for row in table("Registry")}
    components = table("Component")
    # ICE38 and ICE43: what goes into a profile is keyed on an HKCU value of its own.
    for c in components:
        if not profile_root(c["Directory_"]):
            continue
        key = registry.get(c["KeyPath"])
        if not int(c["Attributes"]) & 4 or not key or key["Root"] not in ("1", "-1") or \
                key["Component_"] != c["Component"]:
            breaches.append(f"ICE38: component {c['Component']} is in a profile, keyed on {c['KeyPath']!r}")
    # ICE57: a component holds per-user or per-machine data, never both.
    scopes = {c["Component"]: set() for c in components}
    for row in table("File"):
        scopes[row["Component_"]].add(folder_scope(next(c["Directory_"] for c in components
                                                        if c["Component"] == row["Component_"])))
    for row in table("Shortcut"):
        scopes[row["Component_"]].add(folder_scope(row["Directory_"]))
    for row in registry.values():
        scopes[row["Component_"]].add(registry_scope(row["Root"]))
    for name, found in scopes.items():
        if len(found) > 1:
            breaches.append(f"ICE57: component {name} mixes per-user and per-machine data")
    # ICE08: every component has a GUID of its own.
    guids = {}
    for c in components:
        if c["ComponentId"] in guids:
            breaches.append(f"ICE08: {c['Component']} and {guids[c['ComponentId']]} share {c['ComponentId']}")
        guids.setdefault(c["ComponentId"], c["Component"])
    # ICE64: every folder the package makes in a profile is removed.
    removed = {row["DirProperty"] for row in table("RemoveFile") if not row["FileName"]}
    for name, row in directories.items():
        if row["DefaultDir"] != "." and profile_root(name) and name not in removed:
            breaches.append(f"ICE64: folder {name} is in a profile but not in RemoveFile")
    actions = {row["Action"]: int(row["Type"]) for row in table("CustomAction")}
    # ICE68: only in-script actions may run without impersonation.
    for name, kind in actions.items():
        if kind & NO_IMPERSONATE and not kind & IN_SCRIPT:
            breaches.append(f"ICE68: immediate action {name} has the no-impersonation bit ({kind})")
    # ICE105: a per-user package works within its user's rights; and an
    # impersonated in-script action is terminal-server aware, or a per-machine
    # install on a Remote Desktop host runs it as SYSTEM.
    for name, kind in actions.items():
        if kind & IN_SCRIPT and kind & NO_IMPERSONATE and not per_machine:
            breaches.append(f"ICE105: per-user package, in-script action {name} runs without impersonation")
        if kind & IN_SCRIPT and not kind & (NO_IMPERSONATE | TS_AWARE):
            breaches.append(f"TSAware: impersonated in-script action {name} is not terminal-server aware")
    # An action given CustomActionData (a property named after it) is one that
    # runs from the script: deferred, rollback or commit.
    for row in table("CustomAction"):
        target = row["Source"]
        if int(row["Type"]) & 0x3F == 51 and target in actions and not actions[target] & IN_SCRIPT:
            breaches.append(f"CustomActionData: {row['Action']} sets data for {target}, which runs immediately")
    # ICE77: in-script actions run between InstallInitialize and InstallFinalize.
    sequence = {row["Action"]: int(row["Sequence"] or 0) for row in table("InstallExecuteSequence")}
    first, last = sequence.get("InstallInitialize", 0), sequence.get("InstallFinalize", 0)
    for name, at in sequence.items():
        if actions.get(name, 0) & IN_SCRIPT and not first < at < last:
            breaches.append(f"ICE77: in-script action {name} at {at}, outside {first}..{last}")
    # ICE61: the properties the upgrade table sets reach the server side.
    secure = set(properties.get("SecureCustomProperties", "").split(";"))
    for row in table("Upgrade"):
        if row["ActionProperty"] not in secure:
            breaches.append(f"ICE61: {row['ActionProperty']} is not in SecureCustomProperties")
    # No two components share a key path (a file, or the same registry value).
    seen = {}
    for c in components:
        key = registry.get(c["KeyPath"])
        path = (key["Root"], key["Key"].lower(), key["Name"].lower()) if key else c["KeyPath"]
        if path and path in seen:
            breaches.append(f"key path of {c['Component']} is also that of {seen[path]}")
        seen.setdefault(path, c["Component"])
    # What wixl drops: a program's version (without one Windows Installer
    # compares hashes, and a repair may put back an older file) and a
    # feature's Absent="disallow".
    for row in table("File"):
        if row["FileName"].lower().endswith((".exe", ".dll")) and not row["Version"]:
            breaches.append(f"File.Version: {row['File']} has none")
    for row in table("Feature"):
        if not int(row["Attributes"]) & DISALLOW_ABSENT:
            breaches.append(f"Absent: feature {row['Feature']} may be switched off")
    # The entry in Settings > Apps: its icon, size, the vendor's page and support.
    icons = {row["Name"] for row in table("Icon")}
    if properties.get("ARPPRODUCTICON") not in icons:
        breaches.append("ARPPRODUCTICON names no icon of the Icon table")
    if not properties.get("ARPSIZE", "").isdigit() or int(properties["ARPSIZE"]) == 0:
        breaches.append(f"ARPSIZE is {properties.get('ARPSIZE')!r}")
    for name in ("ARPURLINFOABOUT", "ARPHELPLINK"):
        if not properties.get(name, "").startswith("https://"):
            breaches.append(f"{name} is {properties.get(name)!r}")
    if "@" not in properties.get("ARPCONTACT", ""):
        breaches.append(f"ARPCONTACT is {properties.get('ARPCONTACT')!r}")
    return breaches


if __name__ == "__main__":
    found = check(load(sys.argv[1]))
    for breach in found:
        print(breach)
    sys.exit(1 if found else 0)
