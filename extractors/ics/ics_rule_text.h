#ifndef ICS_RULE_TEXT_H
#define ICS_RULE_TEXT_H

// Renders alarm offsets and repeat rules as words an examiner reads without knowing iCalendar:
// -PT15M becomes " 15 Min Before", FREQ=WEEKLY;INTERVAL=2 becomes
// "Frequency: WEEKLY;Repeat After Every Interval: 2". Texts are UTF-8; every pattern is ASCII.

#include <QByteArray>
#include <QByteArrayView>

class ics_rule_text
{
  public:
    // `trigger_line` is the trimmed TRIGGER: line.
    static QByteArray alarm_offset(QByteArrayView trigger_line);

    // One part of a repeat rule (such as BYDAY=MO,WE) with its day names and keys in words.
    static QByteArray recurrence_part(QByteArray part);

    // The last step, applied to the whole repeat text: the remaining "=" become ": ".
    static QByteArray settled_recurrence(QByteArray repeat_detail);
};

#endif
