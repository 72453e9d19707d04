#ifndef TIMELINE_EVENT_H
#define TIMELINE_EVENT_H

#include "timeline/timeline_person.h"
#include "timeline/timeline_series_row.h"

#include <QList>
#include <QString>

// One calendar_events row with its companion rows. Texts are kept as stored (escaped as in the file);
// times are the stored text, checked where they are used.
struct timeline_event
{
    qint64 id = 0; // the row's INT

    QString title;
    QString location;
    QString calendar_name;
    QString event_uid;
    QString status;
    QString takeout_email_id;
    QString source_count_name;
    QString source_file;
    QString ics_file_path;

    QString start;
    QString end;
    QString created;
    QString stamped; // DTSTAMP, kept in event_update_date
    QString last_modified;
    QString alarm;
    QString repeat_end;

    timeline_series_row series;
    QList<timeline_person> people; // in the order of the file
};

#endif
