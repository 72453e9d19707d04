#ifndef TIMELINE_PERSON_H
#define TIMELINE_PERSON_H

#include <QString>

// One ORGANIZER or ATTENDEE line of an event, as calendar_event_people keeps it.
struct timeline_person
{
    QString role; // organizer or attendee
    QString display_name;
    QString email;
    QString participation_status;
};

#endif
