#!/usr/bin/env python3
# The Group Policy templates parse, every string and category they name exists, and their
# key and values are those the program reads (src/core/PolicyNames.h), 1 enabled, 0 disabled.
import re, sys, xml.etree.ElementTree as ET

src, ns = sys.argv[1], {"p": "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"}
admx = ET.parse(f"{src}/packaging/policy/GlanceRefresher.admx").getroot()
adml = ET.parse(f"{src}/packaging/policy/en-US/GlanceRefresher.adml").getroot()
names = dict(re.findall(r'(kPolicy\w*) = "([^"]*)"', open(f"{src}/src/core/PolicyNames.h").read()))
key = names.pop("kPolicyKey").replace("\\\\", "\\")
defined = {"string": {e.get("id") for e in adml.iterfind(".//p:stringTable/p:string", ns)},
           "presentation": {e.get("id") for e in adml.iterfind(".//p:presentationTable/*", ns)},
           "category": {e.get("name") for e in admx.iterfind(".//p:category", ns)}}
refs = [(k, r) for e in admx.iter() for v in e.attrib.values() for k, r in re.findall(r"\$\((\w+)\.([^)]*)\)", v)]
refs += [("category", e.get("ref")) for e in admx.iterfind(".//p:parentCategory", ns)] + [("category", "Quillhaven")]
faults = [f"{k} {r} is not defined" for k, r in refs if r not in defined.get(k, ())]
for p in admx.iterfind(".//p:policy", ns):
    states = [d.get("value") for d in p.iterfind("p:enabledValue/p:decimal", ns)] + \
             [d.get("value") for d in p.iterfind("p:disabledValue/p:decimal", ns)]
    if (p.get("key"), p.get("valueName") in names.values(), states) != (key, True, ["1", "0"]):
        faults.append(f"{p.get('name')}: {p.get('key')} {p.get('valueName')} {states}")
missing = set(names.values()) - {p.get("valueName") for p in admx.iterfind(".//p:policy", ns)}
faults += [f"no policy for {v}" for v in missing]
print("\n".join(faults) or "templates match the program")
sys.exit(1 if faults else 0)
