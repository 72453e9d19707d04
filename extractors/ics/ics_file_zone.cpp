#include "extractors/ics/ics_file_zone.h"

#include <libical/ical.h>

#include <QRegularExpression>

namespace
{
// Time zones change at most a few times a year; libical expands every observance rule up to its
// coverage year, so a SECONDLY rule would run for hours.
bool rules_are_bounded(const QByteArray& text)
{
    static const QRegularExpression frequency("FREQ\\s*=\\s*([A-Za-z]+)",
                                              QRegularExpression::CaseInsensitiveOption);
    QRegularExpressionMatchIterator it = frequency.globalMatch(QString::fromLatin1(text));
    while (it.hasNext())
    {
        const QString freq = it.next().captured(1).toUpper();
        if (freq != "YEARLY" && freq != "MONTHLY")
            return false;
    }
    return true;
}

void errors_never_abort()
{
    static const bool set = []
    {
        icalerror_set_errors_are_fatal(0);
        return true;
    }();
    (void)set;
}
} // namespace

ics_file_zone::ics_file_zone(const QByteArray& vtimezone_text)
{
    if (vtimezone_text.size() > max_definition_size || !rules_are_bounded(vtimezone_text))
        return;
    errors_never_abort();
    icalcomponent* component = icalparser_parse_string(vtimezone_text.constData());
    if (!component)
        return;
    if (icalcomponent_isa(component) != ICAL_VTIMEZONE_COMPONENT ||
        !icalcomponent_get_first_component(component, ICAL_ANY_COMPONENT))
    {
        icalcomponent_free(component);
        return;
    }
    zone = icaltimezone_new();
    if (!icaltimezone_set_component(zone, component))
    {
        icalcomponent_free(component);
        icaltimezone_free(zone, 1);
        zone = nullptr;
    }
}

ics_file_zone::~ics_file_zone()
{
    if (zone)
        icaltimezone_free(zone, 1);
}

int ics_file_zone::offset_at(qint64 utc_seconds, bool* daylight) const
{
    icaltimetype moment =
        icaltime_from_timet_with_zone(time_t(utc_seconds), 0, icaltimezone_get_utc_timezone());
    int is_daylight = 0;
    const int offset = icaltimezone_get_utc_offset_of_utc_time(zone, &moment, &is_daylight);
    if (daylight)
        *daylight = is_daylight != 0;
    return offset;
}
