#!/usr/bin/env python3
"""The Group Policy templates against the machine values the code reads.

  policy_test.py SOURCE_DIR

Every value a template sets (its key, name and registry type) is one in
framework/PolicyValues.h, the only list the readers take, and every value
there is set by a template and read by some source; each language file
holds every text and presentation the template names, the presentations
naming the template's own elements.
"""
import pathlib
import re
import sys
import xml.etree.ElementTree as ET

root = pathlib.Path(sys.argv[1])
NS = {"p": "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"}
failures = []


def fail(text):
    failures.append(text)


# --- The code's list ---
table_text = (root / "framework/PolicyValues.h").read_text()
keys = {name: value.replace("\\\\", "\\") for name, value in
        re.findall(r'constexpr char (\w+)\[\] = "([^"]*)";', table_text)}
table = {}
for ident, key, name, kind in re.findall(
        r'constexpr PolicyValue (\w+) = \{(\w+), "(\w+)", PolicyType::(\w+)\};', table_text):
    table[(keys[key].lower(), name.lower())] = (ident, kind)
if len(table) != table_text.count("constexpr PolicyValue"):
    fail("framework/PolicyValues.h: an entry this test cannot read")

sources = [p for d in ("framework", "updater", "webcontrol") for p in (root / d).rglob("*.cpp")]
for ident, _ in table.values():
    if not any(re.search(r"\bpolicy::" + ident + r"\b", p.read_text()) for p in sources):
        fail(f"{ident}: read by no source")

# --- The template ---
admx = ET.parse(root / "packaging/policy/TavUpdate.admx").getroot()


def value_kind(value):
    """The registry type a <value> (or an enum item's) writes."""
    if value.find("p:decimal", NS) is not None:
        return "Dword"
    if value.find("p:string", NS) is not None:
        return "Text"
    return "?"


written = {}
for policy in admx.iterfind(".//p:policy", NS):
    pname = policy.get("name")
    pkey = policy.get("key")
    if policy.get("class") != "Machine":
        fail(f"{pname}: not a machine policy")
    if policy.get("valueName"):
        written.setdefault((pkey, policy.get("valueName")), set()).add("Dword")
    for element in policy.iterfind("p:elements/*", NS):
        tag = element.tag.split("}")[1]
        kind = {"decimal": {"Dword"}, "text": {"Text"}, "multiText": {"MultiText"},
                "enum": {value_kind(v) for v in element.iterfind("p:item/p:value", NS)}}.get(tag)
        if kind is None:
            fail(f"{pname}: element <{tag}> this test does not know")
            continue
        written.setdefault((element.get("key", pkey), element.get("valueName")), set()).update(kind)
    for item in policy.iterfind("p:enabledList/p:item", NS):
        written.setdefault((item.get("key", pkey), item.get("valueName")), set()).add(
            value_kind(item.find("p:value", NS)))
    for item in policy.iterfind("p:disabledList/p:item", NS):
        written.setdefault((item.get("key", pkey), item.get("valueName")), set()).add(
            value_kind(item.find("p:value", NS)))

seen = set()
for (key, name), kinds in written.items():
    entry = table.get((key.lower(), name.lower()))
    if not entry:
        fail(f"{key}\\{name}: set by the template, read by no code")
        continue
    seen.add((key.lower(), name.lower()))
    if kinds != {entry[1]}:
        fail(f"{key}\\{name}: the template writes {sorted(kinds)}, the code reads {entry[1]}")
for (key, name), (ident, _) in table.items():
    if (key, name) not in seen:
        fail(f"{ident}: read by the code, set by no template")

# --- The language files ---
admx_text = (root / "packaging/policy/TavUpdate.admx").read_text()
strings = set(re.findall(r"\$\(string\.(\w+)\)", admx_text))
presentations = {}
for policy in admx.iterfind(".//p:policy", NS):
    m = re.fullmatch(r"\$\(presentation\.(\w+)\)", policy.get("presentation") or "")
    if m:
        ids = {e.get("id") for e in policy.iterfind("p:elements/*", NS)}
        presentations.setdefault(m.group(1), []).append((policy.get("name"), ids))
for lang in ("en-US", "ko-KR"):
    adml = ET.parse(root / f"packaging/policy/{lang}/TavUpdate.adml").getroot()
    defined = {s.get("id") for s in adml.iterfind(".//p:stringTable/p:string", NS)}
    for missing in sorted(strings - defined):
        fail(f"{lang}: no string {missing}")
    shown = {p.get("id"): {c.get("refId") for c in p} for p in
             adml.iterfind(".//p:presentationTable/p:presentation", NS)}
    for pres, users in presentations.items():
        if pres not in shown:
            fail(f"{lang}: no presentation {pres}")
            continue
        for pname, ids in users:
            if shown[pres] != ids:
                fail(f"{lang}: presentation {pres} shows {sorted(shown[pres])}, "
                     f"{pname} has {sorted(ids)}")

for text in failures:
    print("FAILED:", text)
if not failures:
    print(f"policy templates: {len(table)} values, all passed")
sys.exit(1 if failures else 0)
