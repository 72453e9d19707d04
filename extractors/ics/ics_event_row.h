#ifndef ICS_EVENT_ROW_H
#define ICS_EVENT_ROW_H

#include <QByteArray>

// The values of one calendar_events row as the event reader gathers them, as UTF-8. Times are epoch
// seconds in decimal text; an empty text is a missing value.
struct ics_event_row
{
    QByteArray previous_pro_id;
    QByteArray title;
    QByteArray location;
    QByteArray status;
    QByteArray conference_added;
    QByteArray timezone;
    QByteArray url;
    QByteArray attachment_detail;
    QByteArray event_end_date;
    QByteArray event_start_date;
    QByteArray event_creation_date;
    QByteArray event_update_date;
    QByteArray event_uid;
    QByteArray repeat_detail;
    QByteArray alert;
    QByteArray alarm_action;
    QByteArray event_last_modified;
    QByteArray end_repeat_on_date;
    QByteArray sound;
    QByteArray alert_on_date;
    QByteArray alarm_uid;
    QByteArray event_notes;
    QByteArray calendar_name;
};

#endif
