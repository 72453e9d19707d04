#ifndef ICS_EVENT_RECORD_H
#define ICS_EVENT_RECORD_H

// One event as the scanner gathered it from its own VEVENT, before any time is converted: times
// keep their text and TZID so that a zone the file defines after the event still applies.

#include "extractors/ics/ics_event_row.h"

#include <QByteArray>
#include <QList>

struct ics_time_value
{
    QByteArray property; // the property name, for the log
    QByteArray value;    // as written
    QByteArray tzid;     // unquoted; empty without one
    bool date_only = false;

    bool is_present() const { return !value.isEmpty(); }
};

struct ics_person
{
    QByteArray role; // organizer or attendee
    QByteArray display_name;
    QByteArray email;
    QByteArray participation_status;
    QByteArray attendee_role;
    QByteArray kind;
    QByteArray extra_guests;
    QByteArray comment;
    QByteArray address_as_written;
};

struct ics_alarm
{
    QByteArray action;
    QByteArray trigger_as_written; // the parameters and value after TRIGGER
    QByteArray offset_text;
    ics_time_value trigger_time;
    QByteArray related; // start or end, for a relative trigger
    QByteArray repeat;
    QByteArray duration;
    QByteArray description;
    QByteArray summary;
    QList<QByteArray> attendees;
    QByteArray sound;
    QByteArray alarm_uid;
};

struct ics_event_record
{
    ics_event_row row; // the text values; the time columns are filled when settled
    ics_time_value start;
    ics_time_value end;
    QByteArray duration;
    ics_time_value created;
    ics_time_value stamp;
    ics_time_value last_modified;
    ics_time_value until;
    ics_time_value alarm_time;

    QList<QByteArray> rrules;
    QList<ics_time_value> rdates;
    QList<ics_time_value> exdates;
    ics_time_value recurrence_id;
    QByteArray sequence;
    QByteArray transp;
    QByteArray classification;
    QList<ics_person> people;
    QList<ics_alarm> alarms;

    qint64 first_line = 0;
    bool ended_without_end = false;
    bool windows_1252 = false; // the file's bytes are not UTF-8 (decided before this event was settled)
};

#endif
