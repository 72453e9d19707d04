#ifndef ICS_RULE_TEXT_H
#define ICS_RULE_TEXT_H

// Renders alarm offsets and repeat rules as words an examiner reads without knowing iCalendar:
// -PT15M becomes " 15 Min Before", FREQ=WEEKLY;INTERVAL=2 becomes
// "Frequency: WEEKLY;Repeat After Every Interval: 2".

#include <QString>

class ics_rule_text
{
  public:
    // `trigger_line` is the trimmed TRIGGER: line.
    static QString alarm_offset(const QString& trigger_line);

    // One part of a repeat rule (such as BYDAY=MO,WE) with its day names and keys in words.
    static QString recurrence_part(QString part);

    // The last step, applied to the whole repeat text: the remaining "=" become ": ".
    static QString settled_recurrence(QString repeat_detail);
};

#endif
