#include "support/plugin_static_function.h"

#include "extractors/ics/ics_date_time.h"
#include "extractors/ics/ics_zone_resolver.h"

#include <QDate>
#include <QHash>
#include <QTime>
#include <QTimeZone>

namespace
{
QString epoch_seconds(const QDateTime& moment)
{
    if (!moment.isValid())
        return QString();
    return QString::number(moment.toMSecsSinceEpoch() / 1000);
}
} // namespace

QString plugin_static_function::convert_T_Z_time_to_epoch(QString value)
{
    return convert_T_Z_time_to_epoch(value, QString());
}

QString plugin_static_function::convert_T_Z_time_to_epoch(QString value, QString zone_id)
{
    const ics_date_time parsed = ics_date_time::parse(value.toUtf8());
    if (!parsed.is_valid())
        return QString();
    if (parsed.value_type() == ics_date_time::kind::utc)
        return QString::number(parsed.utc_epoch());
    // A date alone is a floating day: it stays on the machine's clock.
    const QByteArray zone_name = zone_id.remove('"').toUtf8();
    if (parsed.value_type() != ics_date_time::kind::date && !zone_name.trimmed().isEmpty())
    {
        // The same reading of a zone as the calendar reader's; unknown names fall to the machine.
        ics_zone_resolver zones;
        return QString::number(zones.epoch_of(parsed.date(), parsed.time(), zone_name));
    }
    return epoch_seconds(QDateTime(parsed.date(), parsed.time(), Qt::LocalTime));
}

QString plugin_static_function::convert_google_time_to_epoch(QString value)
{
    if (value == "0" || value.isEmpty())
        return QString();
    if (value.size() == 10)
        return value;
    bool ok = false;
    const quint64 raw = value.toULongLong(&ok);
    if (!ok)
        return QString(); // not a number: no time, rather than one invented from zero
    const qint64 microseconds = qint64(raw);
    return QString::number(microseconds / 1000000 - 11644473600LL);
}
