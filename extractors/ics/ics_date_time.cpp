#include "extractors/ics/ics_date_time.h"

#include "extractors/ics/ics_content_line.h"

namespace
{

// Exactly `count` ASCII digits at `at`; -1 otherwise.
int digits(QByteArrayView text, qsizetype at, int count)
{
    if (at < 0 || at + count > text.size())
        return -1;
    int value = 0;
    for (int i = 0; i < count; ++i)
    {
        const char c = text[at + i];
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

QDate parse_date(QByteArrayView text)
{
    const bool dashed = text.size() == 10;
    if (!dashed && text.size() != 8)
        return QDate();
    if (dashed && (text[4] != '-' || text[7] != '-'))
        return QDate();
    const int year = digits(text, 0, 4);
    const int month = digits(text, dashed ? 5 : 4, 2);
    const int day = digits(text, dashed ? 8 : 6, 2);
    if (year <= 0 || month < 0 || day < 0)
        return QDate();
    return QDate(year, month, day);
}

// hhmmss for a compact date, hh:mm:ss or hh-mm-ss with an optional .zzz for a dashed one.
QTime parse_time(QByteArrayView text, bool dashed_date)
{
    if (!dashed_date)
    {
        if (text.size() != 6)
            return QTime();
        const int h = digits(text, 0, 2), m = digits(text, 2, 2), s = digits(text, 4, 2);
        return (h < 0 || m < 0 || s < 0) ? QTime() : QTime(h, m, s);
    }
    if (text.size() != 8 && text.size() != 12)
        return QTime();
    const auto separator = [&](qsizetype at) { return text[at] == ':' || text[at] == '-'; };
    if (!separator(2) || !separator(5) || (text.size() == 12 && text[8] != '.'))
        return QTime();
    const int h = digits(text, 0, 2), m = digits(text, 3, 2), s = digits(text, 6, 2);
    const int ms = text.size() == 12 ? digits(text, 9, 3) : 0;
    return (h < 0 || m < 0 || s < 0 || ms < 0) ? QTime() : QTime(h, m, s, ms);
}
} // namespace

ics_date_time ics_date_time::parse(QByteArrayView text)
{
    ics_date_time parsed;
    text = ics_content_line::ascii_trimmed(text);
    qsizetype split = text.indexOf('T');
    if (split < 0)
        split = text.indexOf(' ');
    const QByteArrayView date_text = split < 0 ? text : text.first(split);
    QByteArrayView time_text =
        split < 0 ? QByteArrayView() : ics_content_line::ascii_trimmed(text.sliced(split + 1));
    parsed.value_date = parse_date(date_text);
    if (!parsed.value_date.isValid())
        return ics_date_time();
    if (time_text.isEmpty())
    {
        parsed.value_kind = kind::date;
        parsed.value_time = QTime(0, 0);
        return parsed;
    }
    const bool utc = time_text.endsWith('Z');
    if (utc)
        time_text.chop(1);
    parsed.value_time = parse_time(time_text, date_text.size() == 10);
    if (!parsed.value_time.isValid())
        return ics_date_time();
    parsed.value_kind = utc ? kind::utc : kind::floating;
    return parsed;
}

qint64 ics_date_time::utc_epoch() const
{
    const qint64 days = value_date.toJulianDay() - QDate(1970, 1, 1).toJulianDay();
    return days * 86400 + value_time.msecsSinceStartOfDay() / 1000;
}
