#include "extractors/ics_rule_text.h"

#include <QLatin1String>

namespace
{
struct replacement
{
    QLatin1String from;
    QLatin1String to;
};

// Applied in this order; no replacement disturbs the text an earlier one wrote.
const replacement day_names[] = {
    {QLatin1String("SU"), QLatin1String("SUNDAY")},
    {QLatin1String("MO"), QLatin1String("MONDAY")},
    {QLatin1String("TU"), QLatin1String("TUESDAY")},
    {QLatin1String("WE"), QLatin1String("WEDNESDAY")},
    {QLatin1String("TH"), QLatin1String("THURSDAY")},
    {QLatin1String("FR"), QLatin1String("FRIDAY")},
    {QLatin1String("SA"), QLatin1String("SATURDAY")},
    {QLatin1String("WKST"), QLatin1String("Week Start Day")},
};

const replacement rule_keys[] = {
    {QLatin1String("FREQ="), QLatin1String("Frequency: ")},
    {QLatin1String("INTERVAL="), QLatin1String("Repeat After Every Interval: ")},
    {QLatin1String("COUNT="), QLatin1String("End Repeat Count: ")},
    {QLatin1String("BYSETPOS="), QLatin1String("Set Particular Position On The: ")},
};

const replacement offset_units[] = {
    {QLatin1String("D"), QLatin1String(" Days ")},  {QLatin1String("M"), QLatin1String(" Min ")},
    {QLatin1String("H"), QLatin1String(" Hr ")},    {QLatin1String("S"), QLatin1String(" Sec ")},
    {QLatin1String("W"), QLatin1String(" Weeks ")},
};

template <size_t N> void apply(QString& text, const replacement (&table)[N])
{
    for (const replacement& r : table)
        text.replace(r.from, r.to);
}
} // namespace

QString ics_rule_text::alarm_offset(const QString& trigger_line)
{
    const QString direction = trigger_line.contains(QLatin1String(":-P")) ? "Before" : "After";
    QString alert = trigger_line;
    if (alert.startsWith(QLatin1String("TRIGGER:")))
        alert.remove(0, 8);
    const int p = alert.indexOf('P');
    if (p >= 0)
        alert.remove(0, p + 1);
    alert.replace('T', ' ');
    if (alert == QLatin1String(" 0S"))
        alert = "At Start of Travel Time";
    else
        apply(alert, offset_units);
    return alert + direction;
}

QString ics_rule_text::recurrence_part(QString part)
{
    if (part.contains(QLatin1String("BYDAY=")) || part.contains(QLatin1String("WKST=")))
        apply(part, day_names);
    apply(part, rule_keys);
    return part;
}

QString ics_rule_text::settled_recurrence(QString repeat_detail)
{
    return repeat_detail.replace('=', QLatin1String(": "));
}
