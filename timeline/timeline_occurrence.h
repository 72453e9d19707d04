#ifndef TIMELINE_OCCURRENCE_H
#define TIMELINE_OCCURRENCE_H

#include <QDate>
#include <QTime>

// One occurrence of a series: its instant and, where a rule or DTSTART gave it, its wall clock in the
// event's zone (an RDATE is stored as an instant only).
struct timeline_occurrence
{
    qint64 seconds = 0;
    QDate wall_date;
    QTime wall_time;
};

#endif
