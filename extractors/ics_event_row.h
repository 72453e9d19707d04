#ifndef ICS_EVENT_ROW_H
#define ICS_EVENT_ROW_H

#include <QString>

// The values of one calendar_events row as the event reader gathers them. Times are epoch
// seconds in decimal text; an empty text is a missing value.
struct ics_event_row
{
    QString previous_pro_id;
    QString title;
    QString location;
    QString status;
    QString conference_added;
    QString timezone;
    QString url;
    QString attachment_detail;
    QString event_end_date;
    QString event_start_date;
    QString event_creation_date;
    QString event_update_date;
    QString event_uid;
    QString repeat_detail;
    QString alert;
    QString alarm_action;
    QString event_last_modified;
    QString end_repeat_on_date;
    QString sound;
    QString alert_on_date;
    QString alarm_uid;
    QString event_notes;
    QString calendar_name;
};

#endif
