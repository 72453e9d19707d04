#include "support/plugin_static_function.h"

#include <QDate>
#include <QHash>
#include <QTime>
#include <QTimeZone>

namespace
{
enum class wall_clock
{
    local,
    utc
};

struct parsed_time
{
    QDate date;
    QTime time;
    wall_clock clock = wall_clock::local;
};

// Reads exactly `count` ASCII digits at `at`; -1 when they are not all there.
int digits(const QString& text, qsizetype at, int count)
{
    if (at < 0 || at + count > text.size())
        return -1;
    int value = 0;
    for (int i = 0; i < count; ++i)
    {
        const char16_t c = text.at(at + i).unicode();
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

bool literal(const QString& text, qsizetype at, char c)
{
    return at < text.size() && text.at(at) == QLatin1Char(c);
}

// yyyyMMdd, or yyyy-MM-dd when `dashed`; the whole of `text`.
QDate parse_date(const QString& text, bool dashed)
{
    const int width = dashed ? 10 : 8;
    if (text.size() != width)
        return QDate();
    const int month_at = dashed ? 5 : 4;
    const int day_at = dashed ? 8 : 6;
    if (dashed && (!literal(text, 4, '-') || !literal(text, 7, '-')))
        return QDate();
    const int year = digits(text, 0, 4);
    const int month = digits(text, month_at, 2);
    const int day = digits(text, day_at, 2);
    if (year <= 0 || month < 0 || day < 0)
        return QDate();
    return QDate(year, month, day);
}

// hhmmss, or hh:mm:ss[.zzz] when `colons`; the whole of `text`.
QTime parse_time(const QString& text, bool colons, bool fraction)
{
    const int width = colons ? (fraction ? 12 : 8) : 6;
    if (text.size() != width)
        return QTime();
    if (colons && (!literal(text, 2, ':') || !literal(text, 5, ':') || (fraction && !literal(text, 8, '.'))))
        return QTime();
    const int step = colons ? 3 : 2;
    const int hour = digits(text, 0, 2);
    const int minute = digits(text, step, 2);
    const int second = digits(text, 2 * step, 2);
    const int milli = fraction ? digits(text, 9, 3) : 0;
    if (hour < 0 || minute < 0 || second < 0 || milli < 0)
        return QTime();
    return QTime(hour, minute, second, milli);
}

// The date and time parts of a compact or dashed value, by the same formats as ever:
// yyyyMMdd, yyyyMMdd hhmmssZ, yyyy-MM-dd hh:mm:ss.zzz, yyyyMMdd hhmmss, yyyy-MM-dd hh:mm:ss.
parsed_time parse(QString date_part, QString time_part)
{
    parsed_time parsed;
    time_part.replace('-', ':');
    if (time_part.isEmpty())
    {
        parsed.date = parse_date(date_part, false);
        parsed.time = QTime(0, 0);
    }
    else if (time_part.contains('Z'))
    {
        // Z is UTC: the wall clock of the text is not the machine's.
        parsed.clock = wall_clock::utc;
        parsed.date = parse_date(date_part, false);
        if (time_part.endsWith('Z'))
            parsed.time = parse_time(time_part.chopped(1), false, false);
    }
    else if (date_part.contains('-') && time_part.contains('.'))
    {
        parsed.date = parse_date(date_part, true);
        parsed.time = parse_time(time_part, true, true);
    }
    else if (!date_part.contains('-'))
    {
        parsed.date = parse_date(date_part, false);
        parsed.time = parse_time(time_part, false, false);
    }
    else
    {
        parsed.date = parse_date(date_part, true);
        parsed.time = parse_time(time_part, true, false);
    }
    return parsed;
}

// A TZID is an IANA id, or a Windows zone name as some producers write; unknown ids give no zone.
QTimeZone zone_for(const QString& zone_id)
{
    static thread_local QHash<QString, QTimeZone> known;
    const auto cached = known.constFind(zone_id);
    if (cached != known.constEnd())
        return *cached;

    QTimeZone zone;
    const QByteArray id = zone_id.trimmed().toUtf8();
    if (!id.isEmpty() && QTimeZone::isTimeZoneIdAvailable(id))
        zone = QTimeZone(id);
    if (!zone.isValid() && !id.isEmpty())
    {
        const QByteArray iana = QTimeZone::windowsIdToDefaultIanaId(id);
        if (!iana.isEmpty() && QTimeZone::isTimeZoneIdAvailable(iana))
            zone = QTimeZone(iana);
    }
    known.insert(zone_id, zone);
    return zone;
}

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
    value = value.trimmed();
    if (value.isEmpty())
        return QString();

    const QStringList pieces = value.contains('T') ? value.split('T') : value.split(' ');
    const QString date_part = pieces.at(0).trimmed();
    const QString time_part = pieces.size() > 1 ? pieces.at(1).trimmed() : QString();

    const parsed_time parsed = parse(date_part, time_part);
    if (!parsed.date.isValid() || !parsed.time.isValid())
        return QString();

    if (parsed.clock == wall_clock::utc)
        return epoch_seconds(QDateTime(parsed.date, parsed.time, QTimeZone::utc()));
    // A date alone is a floating day: it stays on the machine's clock.
    const QTimeZone zone = time_part.isEmpty() ? QTimeZone() : zone_for(zone_id.remove('"'));
    if (zone.isValid())
        return epoch_seconds(QDateTime(parsed.date, parsed.time, zone));
    return epoch_seconds(QDateTime(parsed.date, parsed.time, Qt::LocalTime));
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
