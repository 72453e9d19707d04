#include "extractors/ics/ics_rule_text.h"

namespace
{
struct replacement
{
    const char* from;
    const char* to;
};

// Applied in this order; no replacement disturbs the text an earlier one wrote.
const replacement day_names[] = {
    {"SU", "SUNDAY"},   {"MO", "MONDAY"}, {"TU", "TUESDAY"},  {"WE", "WEDNESDAY"},
    {"TH", "THURSDAY"}, {"FR", "FRIDAY"}, {"SA", "SATURDAY"}, {"WKST", "Week Start Day"},
};

const replacement rule_keys[] = {
    {"FREQ=", "Frequency: "},
    {"INTERVAL=", "Repeat After Every Interval: "},
    {"COUNT=", "End Repeat Count: "},
    {"BYSETPOS=", "Set Particular Position On The: "},
};

const replacement offset_units[] = {
    {"D", " Days "}, {"M", " Min "}, {"H", " Hr "}, {"S", " Sec "}, {"W", " Weeks "},
};

template <size_t N> void apply(QByteArray& text, const replacement (&table)[N])
{
    for (const replacement& r : table)
    {
        if (text.contains(r.from))
            text.replace(r.from, r.to);
    }
}
} // namespace

QByteArray ics_rule_text::alarm_offset(QByteArrayView trigger_line)
{
    const QByteArray direction = trigger_line.contains(QByteArrayView(":-P")) ? "Before" : "After";
    QByteArrayView rest = trigger_line;
    if (rest.startsWith("TRIGGER:"))
        rest = rest.sliced(8);
    const qsizetype p = rest.indexOf('P');
    if (p >= 0)
        rest = rest.sliced(p + 1);
    QByteArray alert = rest.toByteArray().replace('T', ' ');
    if (alert == " 0S")
        alert = "At Start of Travel Time";
    else
        apply(alert, offset_units);
    return alert + direction;
}

QByteArray ics_rule_text::recurrence_part(QByteArray part)
{
    if (part.contains("BYDAY=") || part.contains("WKST="))
        apply(part, day_names);
    apply(part, rule_keys);
    return part;
}

QByteArray ics_rule_text::settled_recurrence(QByteArray repeat_detail)
{
    return repeat_detail.replace("=", ": ");
}
