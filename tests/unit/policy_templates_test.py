#!/usr/bin/env python3
# The Group Policy templates parse, every string, presentation and category
# they name exists, and their key and values are those the program reads
# (src/core/PolicyNames.h), each 1 when enabled and 0 when disabled.
import re, sys, xml.etree.ElementTree as ET

src = sys.argv[1]
ns = {"p": "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"}
admx = ET.parse(f"{src}/packaging/policy/GlanceRefresher.admx").getroot()
adml = ET.parse(f"{src}/packaging/policy/en-US/GlanceRefresher.adml").getroot()
names = dict(re.findall(r'(kPolicy\w*) = "([^"]*)"', open(f"{src}/src/core/PolicyNames.h").read()))
key = names.pop("kPolicyKey").replace("\\\\", "\\")
defined = {"string": {e.get("id") for e in adml.iterfind(".//p:stringTable/p:string", ns)},
           "presentation": {e.get("id") for e in adml.iterfind(".//p:presentationTable/*", ns)},
           "category": {e.get("name") for e in admx.iterfind(".//p:category", ns)}}
faults = [f"$({kind}.{ref}) is not in the ADML" for e in admx.iter() for v in e.attrib.values()
          for kind, ref in re.findall(r"\$\((string|presentation)\.([^)]*)\)", v) if ref not in defined[kind]]
faults += [f"category {e.get('ref')} is not defined" for e in admx.iterfind(".//p:parentCategory", ns)
           if e.get("ref") not in defined["category"]]
policies = admx.findall(".//p:policy", ns)
faults += [f"{p.get('name')}: key {p.get('key')}" for p in policies if p.get("key") != key]
faults += [f"{p.get('name')}: enabled/disabled are not 1/0" for p in policies
           if [d.get("value") for d in p.iterfind("p:enabledValue/p:decimal", ns)] != ["1"]
           or [d.get("value") for d in p.iterfind("p:disabledValue/p:decimal", ns)] != ["0"]]
if sorted(p.get("valueName") for p in policies) != sorted(names.values()):
    faults.append(f"values {sorted(p.get('valueName') for p in policies)} != {sorted(names.values())}")
if "Quillhaven" not in defined["category"]:
    faults.append("no category under the vendor's name")
print("\n".join(faults) or "templates match the program")
sys.exit(1 if faults else 0)
