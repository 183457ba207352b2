#!/usr/bin/python3
"""Reads an export folder back with parsers of its own (the standard library
and python3-icalendar, nothing of the program) and compares it with the
source phone's dump: every contact field, every event (instant, time zone,
recurrence, alarm), every message and call, every file's bytes.

    export_check.py EXPORT_DIR SOURCE_DUMP.json

Prints what differs and exits 1, or exits 0 when all agree."""
import hashlib
import json
import os
import sys
from collections import Counter
from datetime import timezone

import icalendar

folder, dump_path = sys.argv[1], sys.argv[2]
source = json.load(open(dump_path, encoding="utf-8"))
problems = []


def compare(kind, exported, expected):
    exported, expected = Counter(exported), Counter(expected)
    if exported != expected:
        problems.append(f"{kind}: only in the export {sorted(exported - expected)[:3]}, "
                        f"only on the phone {sorted(expected - exported)[:3]}")


def vcard_cards(text):
    lines = []
    for raw in text.replace("\r\n", "\n").split("\n"):
        if raw[:1] in (" ", "\t") and lines:
            lines[-1] += raw[1:]
        elif raw:
            lines.append(raw)
    cards, card = [], None
    for line in lines:
        if line == "BEGIN:VCARD":
            card = []
        elif line == "END:VCARD":
            cards.append(card)
            card = None
        elif card is not None:
            name, _, value = line.partition(":")
            card.append((name, value))
    return cards


def unescape(value):
    out, i = "", 0
    while i < len(value):
        if value[i] == "\\" and i + 1 < len(value):
            out += "\n" if value[i + 1] in "nN" else value[i + 1]
            i += 2
        else:
            out += value[i]
            i += 1
    return out


def split_unescaped(value, sep):
    parts, cur, i = [], "", 0
    while i < len(value):
        if value[i] == "\\" and i + 1 < len(value):
            cur += value[i:i + 2]
            i += 2
            continue
        if value[i] == sep:
            parts.append(cur)
            cur = ""
        else:
            cur += value[i]
        i += 1
    return parts + [cur]


# Contacts: each card back into the phone's fields.
fields_by_property = {
    "NICKNAME": "nickName", "TEL;TYPE=CELL": "mobile", "TEL;TYPE=HOME": "homeNumber",
    "TEL;TYPE=WORK": "workNumber", "TEL;TYPE=HOME,FAX": "homeFax", "TEL;TYPE=WORK,FAX": "workFax",
    "EMAIL;TYPE=INTERNET,HOME": "homeEmail", "EMAIL;TYPE=INTERNET,WORK": "workEmail",
    "URL": "homePage", "BDAY": "birthday", "NOTE": "note", "CATEGORIES": "groupName",
}
contacts = []
with open(os.path.join(folder, "contacts.vcf"), encoding="utf-8") as f:
    for card in vcard_cards(f.read()):
        c = {}
        for name, value in card:
            if name == "FN" and value:
                c["firstName"] = unescape(value)
            elif name in fields_by_property:
                c[fields_by_property[name]] = unescape(value)
            elif name == "ORG":
                org, dept = (split_unescaped(value, ";") + [""])[:2]
                if org:
                    c["organization"] = unescape(org)
                if dept:
                    c["department"] = unescape(dept)
            elif name.startswith("ADR;TYPE="):
                street = split_unescaped(value, ";")[2]
                c["homeAddress" if "HOME" in name else "workAddress"] = unescape(street)
        contacts.append(json.dumps(c, sort_keys=True, ensure_ascii=False))
compare("contacts", contacts,
        [json.dumps(c, sort_keys=True, ensure_ascii=False) for c in source["contacts"]])

# Messages: one JSON object a line, the Android SMS columns as texts.
with open(os.path.join(folder, "messages.ndjson"), encoding="utf-8") as f:
    messages = [json.loads(line) for line in f if line.strip()]
keys = ("address", "body", "date", "type", "read")
compare("messages", [tuple(m.get(k, "") for k in keys) for m in messages],
        [tuple(m.get(k, "") for k in keys) for m in source["messages"]])
if any(not isinstance(v, str) for m in messages for v in m.values()):
    problems.append("messages: a value that is not a text")

# Calls: one JSON array of objects.
calls = json.load(open(os.path.join(folder, "calls.json"), encoding="utf-8"))
keys = ("number", "date", "duration", "type")
compare("calls", [tuple(c.get(k, "") for k in keys) for c in calls],
        [tuple(c.get(k, "") for k in keys) for c in source["calls"]])

# Events: instants in ms, the zone they are written in, recurrence, alarm.
def ms(value):
    return str(int(value.dt.astimezone(timezone.utc).timestamp() * 1000))


def zone(value):
    tz = value.dt.tzinfo
    name = getattr(tz, "zone", None) or getattr(tz, "key", None) or str(tz)
    return "UTC" if name in ("UTC", "Etc/UTC") else name


calendar = icalendar.Calendar.from_ical(open(os.path.join(folder, "calendar.ics"), "rb").read())
events = []
for e in calendar.walk("VEVENT"):
    alarms = [a for a in e.walk("VALARM")]
    minutes = str(int(-alarms[0]["TRIGGER"].dt.total_seconds() // 60)) if alarms else None
    events.append((str(e["SUMMARY"]), ms(e["DTSTART"]), ms(e["DTEND"]), zone(e["DTSTART"]),
                   e["RRULE"].to_ical().decode() if "RRULE" in e else "",
                   str(e.get("LOCATION", "")), str(e.get("DESCRIPTION", "")), minutes))
expected = []
for e in source["calendar"]:
    end = str(max(int(e.get("end") or 0), int(e["start"])))
    minutes = e.get("alarmMinutes", "0") if e.get("hasAlarm") == "1" else None
    expected.append((e["title"], e["start"], end, e.get("timeZone") or "UTC", e.get("rrule", ""),
                     e.get("location", ""), e.get("description", ""), minutes))
compare("calendar", events, expected)

# Files: the bytes of every photo, video and song under its own name.
exported = []
for sub in ("Photos", "Videos", "Music"):
    path = os.path.join(folder, sub)
    for name in os.listdir(path) if os.path.isdir(path) else []:
        data = open(os.path.join(path, name), "rb").read()
        exported.append((name, len(data), hashlib.sha256(data).hexdigest()))
compare("files", exported,
        [(os.path.basename(f["path"]), f["size"], f["sha256"]) for f in source["files"]
         if f["kind"] in ("photo", "video", "music")])

for p in problems:
    print(p)
sys.exit(1 if problems else 0)
