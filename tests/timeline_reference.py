#!/usr/bin/python3
"""Independent expansion of the series in a folder of .ics files, for comparison with gcal-timeline.

python-icalendar reads the events; python-dateutil's rrule expands each rule from DTSTART in the event's
zone (dateutil's own zone data), plus DTSTART and RDATE, minus EXDATE, with RECURRENCE-ID events
standing in for the occurrence they name. A rule without COUNT or UNTIL stops at --until or else at the
latest DTSTAMP or LAST-MODIFIED of its file. Floating and all-day values are wall clocks of the machine
(TZ). Prints one line per entry, sorted: UID, kind (occurrence, moved, changed, cancelled), epoch seconds.

usage: timeline_reference.py FOLDER [--from YYYY-MM-DD] [--until YYYY-MM-DD] [--cap N]
"""

import argparse
import datetime as dt
import os
import re
import sys

from dateutil import rrule as dateutil_rrule
from dateutil import tz
from icalendar import Calendar

UTC = dt.timezone.utc


def wall_clock(text):
    """(datetime naive, is_utc, is_date) of 20240716, 20240716T091500 or 20240716T091500Z."""
    text = text.strip()
    if re.fullmatch(r"\d{8}", text):
        return dt.datetime.strptime(text, "%Y%m%d"), False, True
    if re.fullmatch(r"\d{8}T\d{6}Z?", text):
        return dt.datetime.strptime(text[:15], "%Y%m%dT%H%M%S"), text.endswith("Z"), False
    raise ValueError("not a date or date-time: " + text)


def zone_of(tzid):
    if not tzid:
        return tz.tzlocal()
    zone = tz.gettz(tzid)
    if zone is None:
        raise ValueError("unknown zone " + tzid)
    return zone


def aware(naive, is_utc, tzid, is_date=False):
    # A date has no zone (RFC 5545 3.3.4): the machine's midnight, whatever TZID it carries.
    return naive.replace(tzinfo=UTC if is_utc else zone_of("" if is_date else tzid))


def properties(component, name):
    value = component.get(name)
    if value is None:
        return []
    return value if isinstance(value, list) else [value]


def raw(prop):
    value = prop.to_ical()
    return value.decode() if isinstance(value, bytes) else value


def tzid_of(prop):
    return str(prop.params.get("TZID", "")).strip('"')


def instants(component, name):
    """Epoch seconds of every value of every NAME line, in the order written."""
    found = []
    for prop in properties(component, name):
        for value in raw(prop).split(","):
            naive, is_utc, is_date = wall_clock(value)
            found.append(int(aware(naive, is_utc, tzid_of(prop), is_date).timestamp()))
    return found


def expand(event, horizon, until, cap):
    """Occurrence instants of a series: DTSTART, its rules and RDATEs, less EXDATEs."""
    start_prop = event["DTSTART"]
    naive_start, start_utc, start_is_date = wall_clock(raw(start_prop))
    tzid = "" if start_is_date else tzid_of(start_prop)
    start = aware(naive_start, start_utc, tzid)
    found = [int(start.timestamp())] + instants(event, "RDATE")
    found = [s for s in found if until is None or s < until]
    for prop in properties(event, "RRULE"):
        text = raw(prop)
        rule_until = None
        match = re.search(r"(?:^|;)UNTIL=([^;]*)", text)
        if match:
            naive, is_utc, _ = wall_clock(match.group(1))
            rule_until = aware(naive, is_utc or start_utc, tzid)
            text = ";".join(part for part in text.split(";") if not part.startswith("UNTIL="))
        endless = rule_until is None and "COUNT=" not in text
        rule = dateutil_rrule.rrulestr(text, dtstart=start)
        if rule_until is not None:
            rule = rule.replace(until=rule_until)
        limit = horizon if endless else None
        for occurrence in rule:
            seconds = int(occurrence.timestamp())
            if (limit is not None and seconds > limit) or (until is not None and seconds >= until):
                break
            if len(found) >= cap:
                break
            found.append(seconds)
    excluded = set(instants(event, "EXDATE"))
    return sorted(set(found) - excluded), instants(event, "EXDATE")


def file_horizon(events):
    times = []
    for event in events:
        for name in ("DTSTAMP", "LAST-MODIFIED"):
            times += instants(event, name)
    return max(times) if times else None


def day(text):
    return int(dt.datetime.strptime(text, "%Y-%m-%d").replace(tzinfo=UTC).timestamp())


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--from", dest="start", type=day)
    parser.add_argument("--until", type=day)
    parser.add_argument("--cap", type=int, default=10000)
    args = parser.parse_args()

    files = []
    for root, _, names in os.walk(args.folder):
        files += [os.path.join(root, n) for n in names if n.lower().endswith(".ics")]
    per_file = {}
    for path in sorted(files):
        try:
            with open(path, "rb") as handle:
                calendars = Calendar.from_ical(handle.read(), multiple=True)
            if not calendars:
                raise ValueError("no complete VCALENDAR")
        except Exception as error:  # a file python-icalendar cannot read is named, not compared
            print(f"skipped file {path}: {error}", file=sys.stderr)
            continue
        per_file[path] = [c for calendar in calendars for c in calendar.walk("VEVENT")]
    horizons = {}
    for path, events in per_file.items():
        try:
            horizons[path] = file_horizon(events)
        except Exception as error:
            print(f"no horizon for {path}: {error}", file=sys.stderr)
            horizons[path] = None
    known = [h for h in horizons.values() if h is not None]
    fallback = max(known) if known else None

    lines = []
    for path, events in per_file.items():
        horizon = args.until if args.until is not None else (
            horizons[path] if horizons[path] is not None else fallback)
        replaced = {}
        for event in events:
            if event.get("RECURRENCE-ID") is not None:
                try:
                    replaced.setdefault(str(event["UID"]), set()).update(instants(event, "RECURRENCE-ID"))
                except Exception as error:
                    print(f"skipped RECURRENCE-ID of {event.get('UID')}: {error}", file=sys.stderr)
        for event in events:
            uid = str(event.get("UID", ""))
            try:
                lines += entries_of(event, uid, replaced, horizon, args)
            except Exception as error:  # printed as "skipped", so a comparison can leave the UID out
                print(f"skipped {uid}: {error}", file=sys.stderr)
                print(f"{uid}\tskipped\t0")
    for uid, kind, seconds in sorted(lines, key=lambda line: (line[2], line[0], line[1])):
        if (args.start is None or seconds >= args.start) and (args.until is None or seconds < args.until):
            print(f"{uid}\t{kind}\t{seconds}")


def entries_of(event, uid, replaced, horizon, args):
    """(UID, kind, instant) of one event: its occurrences if it is a series, its own if it replaces one."""
    if event.get("RECURRENCE-ID") is not None:
        original = instants(event, "RECURRENCE-ID")[0]
        if str(event.get("STATUS", "")).upper() == "CANCELLED":
            return [(uid, "cancelled", original)]
        start = instants(event, "DTSTART")[0]
        return [(uid, "moved" if start != original else "changed", start)]
    if event.get("RRULE") is None and event.get("RDATE") is None:
        return []
    occurrences, exdates = expand(event, horizon, args.until, args.cap)
    stood_in = replaced.get(uid, set())
    # A cancelled series cancels every occurrence of it.
    kind = "cancelled" if str(event.get("STATUS", "")).upper() == "CANCELLED" else "occurrence"
    return [(uid, kind, s) for s in occurrences if s not in stood_in] + [(uid, "cancelled", s) for s in exdates]


if __name__ == "__main__":
    main()
