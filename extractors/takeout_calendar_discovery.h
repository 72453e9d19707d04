#ifndef TAKEOUT_CALENDAR_DISCOVERY_H
#define TAKEOUT_CALENDAR_DISCOVERY_H

// Which folders of a Takeout source hold the calendar export. Takeout names its folders in the
// account's language (Calendar, Kalender, Agenda, Календарь...), so beyond the folder named
// Calendar the decision is made by content, not by a table of translations:
//   1. an entry named Calendar directly under the source path is the calendar folder, alone;
//   2. otherwise every folder directly under the source path (not hidden, not a link) that has
//      at least one own .ics file (regular, not hidden) whose calendar header names Google
//      Calendar as its producer (a PRODID property containing "Google Calendar") is a calendar
//      folder; several such folders are all taken, in the order of their name bytes.
// Only the start of each file (its header, at most header_limit bytes) is read, read-only.

#include <QByteArray>
#include <QList>

namespace takeout_calendar_discovery
{
constexpr qsizetype header_limit = 64 * 1024;

// True when the bytes open a calendar (BEGIN:VCALENDAR, after an optional byte order mark) whose
// header, before its first component, has a PRODID naming Google Calendar.
bool header_names_google_calendar(const QByteArray& start);

// Reads at most header_limit bytes of the regular file `path` (links not followed).
bool file_is_google_calendar_export(const QByteArray& path);

// True when one of the folder's own .ics files is a Google Calendar export.
bool folder_holds_google_calendar_export(const QByteArray& folder);

// The calendar folders under `source_root` (bytes, with or without a final "/"), by the rule
// above; `by_content` tells whether rule 2 decided.
QList<QByteArray> calendar_folders(const QByteArray& source_root, bool* by_content = nullptr);
} // namespace takeout_calendar_discovery

#endif
