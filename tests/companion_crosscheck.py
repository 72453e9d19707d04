#!/usr/bin/python3
"""Compares the guest, series and alarm rows of a result database with python-icalendar's reading.

usage: companion_crosscheck.py SOURCE_ROOT DB
For every file named in calendar_events.ics_file_path (relative to SOURCE_ROOT) whose VEVENT count
equals its row count, compares per event, in file order:
  people  (ORGANIZER and ATTENDEE: role, CN, address without mailto:, PARTSTAT, ROLE, CUTYPE,
           X-NUM-GUESTS, X-RESPONSE-COMMENT), as a sorted list
  series  (RRULE parts, RDATE and EXDATE instants, RECURRENCE-ID instant, SEQUENCE, TRANSP, CLASS)
  alarms  (ACTION, DESCRIPTION, SUMMARY, REPEAT, attendee addresses, absolute trigger instant), in order
Instants of floating times and dates are read on this process's clock (run it with the TZ of the
extraction). Prints the disagreements and a last line 'events agreeing: A/N'. Exit 0 when all agree.
"""
import collections, datetime, os, sqlite3, sys, time
import icalendar

root, db = sys.argv[1], sys.argv[2]
con = sqlite3.connect("file:%s?mode=ro" % db, uri=True)
con.row_factory = sqlite3.Row


def rows_by_event(table):
    found = collections.defaultdict(list)
    for row in con.execute('select * from %s order by "INT"' % table):
        found[row["event_int"]].append(row)
    return found


people_rows = rows_by_event("calendar_event_people")
series_rows = rows_by_event("calendar_event_series")
alarm_rows = rows_by_event("calendar_event_alarms")
events = collections.defaultdict(list)
for row in con.execute('select "INT", ics_file_path from calendar_events order by "INT"'):
    events[row[1]].append(row[0])


def listed(component, name):
    value = component.get(name)
    if value is None:
        return []
    return value if isinstance(value, list) else [value]


def text(value):
    return "" if value is None else str(value)


def address(value):
    value = str(value)
    return value[7:] if value.lower().startswith("mailto:") else value


def instant(dt):
    if isinstance(dt, datetime.datetime):
        if dt.tzinfo is not None:
            return str(int(dt.timestamp()))
        return str(int(time.mktime(dt.timetuple())))
    if isinstance(dt, datetime.date):
        return str(int(time.mktime(dt.timetuple())))
    return ""


def instants(component, name):
    found = []
    for prop in listed(component, name):
        for dt in getattr(prop, "dts", []):
            value = dt.dt
            if isinstance(value, tuple):  # a period
                value = value[0]
            found.append(instant(value))
    return ",".join(found)


def rule_parts(text_rule):
    parts = {}
    for part in text_rule.split(";"):
        if "=" in part:
            key, value = part.split("=", 1)
            parts[key.strip().upper()] = value.strip().upper()
    return parts


def expected_people(event):
    people = []
    for role, name in (("organizer", "ORGANIZER"), ("attendee", "ATTENDEE")):
        for prop in listed(event, name):
            params = getattr(prop, "params", {})
            people.append((role, text(params.get("CN")), address(prop), text(params.get("PARTSTAT")),
                           text(params.get("ROLE")), text(params.get("CUTYPE")), text(params.get("X-NUM-GUESTS")),
                           text(params.get("X-RESPONSE-COMMENT"))))
    return sorted(people)


def stored_people(rows):
    return sorted((r["role"], r["display_name"], r["email"], r["participation_status"], r["attendee_role"],
                   r["kind"], r["extra_guests"], r["comment"]) for r in rows)


def expected_series(event):
    keys = ("RRULE", "RDATE", "EXDATE", "RECURRENCE-ID", "SEQUENCE", "TRANSP", "CLASS")
    if not any(event.get(k) is not None for k in keys):
        return None
    rules = [rule_parts(r.to_ical().decode()) for r in listed(event, "RRULE")]
    rid = event.get("RECURRENCE-ID")
    return (rules, instants(event, "RDATE"), instants(event, "EXDATE"), instant(rid.dt) if rid is not None else "",
            text(event.get("SEQUENCE")), text(event.get("TRANSP")), text(event.get("CLASS")))


def stored_series(rows):
    if not rows:
        return None
    r = rows[0]
    rules = [rule_parts(t) for t in r["rrule"].split("\n")] if r["rrule"] else []
    return (rules, r["rdate"], r["exdate"], r["recurrence_id"], r["sequence"], r["transp"], r["class"])


def expected_alarms(event):
    alarms = []
    for alarm in event.walk("VALARM"):
        trigger = alarm.get("TRIGGER")
        when = instant(trigger.dt) if trigger is not None and isinstance(trigger.dt, datetime.datetime) else ""
        alarms.append((text(alarm.get("ACTION")), text(alarm.get("DESCRIPTION")), text(alarm.get("SUMMARY")),
                       text(alarm.get("REPEAT")), ", ".join(address(a) for a in listed(alarm, "ATTENDEE")), when))
    return alarms


def stored_alarms(rows):
    return [(r["action"], r["description"], r["summary"], r["repeat"], r["attendees"], r["trigger_time"])
            for r in rows]


total = agreeing = skipped = unreadable = 0
examples = []
for rel in sorted(events):
    path = os.path.join(root, rel.lstrip("/"))
    try:
        with open(path, "rb") as f:
            parsed = list(icalendar.Calendar.from_ical(f.read()).walk("VEVENT"))
    except Exception:
        skipped += 1
        continue
    ids = events[rel]
    if len(ids) != len(parsed):
        skipped += 1
        continue
    for event, event_int in zip(parsed, ids):
        if getattr(event, "errors", None):
            # A property python-icalendar could not read is absent from its reading: nothing to compare.
            unreadable += 1
            continue
        total += 1
        checks = (("people", expected_people(event), stored_people(people_rows[event_int])),
                  ("series", expected_series(event), stored_series(series_rows[event_int])),
                  ("alarms", expected_alarms(event), stored_alarms(alarm_rows[event_int])))
        wrong = [(what, want, got) for what, want, got in checks if want != got]
        if not wrong:
            agreeing += 1
        elif len(examples) < 8:
            examples.extend("%s event %d %s: want %r got %r" % (rel, event_int, *w) for w in wrong)
for line in examples:
    print("  e.g. " + line)
print("files not compared (unreadable here, or another event count): %d" % skipped)
print("events with properties python-icalendar could not read: %d" % unreadable)
print("events agreeing: %d/%d" % (agreeing, total))
sys.exit(0 if agreeing == total else 1)
