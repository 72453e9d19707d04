#include "support/plugin_static_function.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QLocale>
#include <QTimeZone>

#include <limits>

namespace
{
const qint64 apple_epoch_offset = 978307200; // 2001-01-01 00:00:00 UTC

// Whole decimal number in 64 bits; false for anything else (blanks around it are allowed).
bool parse_whole_number(const QString& text, qint64* value)
{
    bool ok = false;
    *value = text.trimmed().toLongLong(&ok, 10);
    return ok;
}

// The lenient form: a text that is not a number counts as 0.
qint64 whole_number_or_zero(const QString& text)
{
    qint64 value = 0;
    return parse_whole_number(text, &value) ? value : 0;
}

QString before_first_dot(const QString& text)
{
    const qsizetype dot = text.indexOf('.');
    return dot < 0 ? text : text.left(dot);
}

bool all_ascii_digits(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
    {
        if (c.unicode() < '0' || c.unicode() > '9')
            return false;
    }
    return true;
}

// Optional sign, digits, optionally "." and digits.
bool is_decimal_number(const QString& text)
{
    QString body = text;
    if (body.startsWith('-') || body.startsWith('+'))
        body.remove(0, 1);
    const qsizetype dot = body.indexOf('.');
    if (dot < 0)
        return all_ascii_digits(body);
    return all_ascii_digits(body.left(dot)) && all_ascii_digits(body.mid(dot + 1));
}

QString epoch_text(const QDateTime& date_time)
{
    if (!date_time.isValid())
        return QString();
    return QString::number(date_time.toMSecsSinceEpoch() / 1000);
}

// Parses date and time apart, split at the last `separator`, so that no machine zone takes part
// until the caller names one (a wall-clock time in a local daylight-saving gap must still parse as UTC).
bool parse_wall_clock(const QString& text, const QString& separator, const QString& date_format,
                      const QString& time_format, QDate* date, QTime* time)
{
    const qsizetype at = text.lastIndexOf(separator);
    if (at < 0)
        return false;
    *date = QLocale::c().toDate(text.left(at), date_format);
    *time = QLocale::c().toTime(text.mid(at + separator.size()), time_format);
    return date->isValid() && time->isValid();
}

QString utc_wall_clock_epoch(const QString& text, const QString& separator, const QString& date_format,
                             const QString& time_format)
{
    QDate date;
    QTime time;
    if (!parse_wall_clock(text, separator, date_format, time_format, &date, &time))
        return QString();
    return epoch_text(QDateTime(date, time, QTimeZone::utc()));
}

QString two_digits(qint64 value)
{
    return QString::number(value).rightJustified(2, '0');
}

QString fixed_two(double value)
{
    return QString::number(value, 'f', 2);
}

qint64 seconds_of(const QDateTime& date_time)
{
    return date_time.isValid() ? date_time.toMSecsSinceEpoch() / 1000 : 0;
}

qint64 directory_size(const QString& path)
{
    qint64 total = 0;
    QDirIterator entries(path, QDirIterator::Subdirectories);
    while (entries.hasNext())
    {
        if (plugin_static_function::bool_cancel_extraction.load())
            return QFileInfo(path).size();
        entries.next();
        const QFileInfo entry = entries.fileInfo();
        if (!entry.isDir() && !entry.isSymLink())
            total += entry.size();
    }
    return total;
}

// A trailing sign and four digits ("+0530", "-0800"); false when the text does not end in one.
bool trailing_offset(const QString& text, QChar* sign, QString* digits)
{
    if (text.size() < 5)
        return false;
    const QChar mark = text.at(text.size() - 5);
    const QString tail = text.right(4);
    if ((mark != '+' && mark != '-') || !all_ascii_digits(tail))
        return false;
    *sign = mark;
    *digits = tail;
    return true;
}
} // namespace

QString plugin_static_function::get_human_readable_time(QString seconds)
{
    if (seconds.trimmed().isEmpty())
        return QString();
    const qint64 total = whole_number_or_zero(before_first_dot(seconds));
    if (total < 0)
        return QString();

    const QString hours = two_digits(total / 3600);
    const QString minutes = two_digits((total % 3600) / 60);
    const QString secs = two_digits((total % 3600) % 60);
    if (hours == "00")
        return minutes + ":" + secs + " Min";
    return hours + ":" + minutes + ":" + secs + " Hrs";
}

QString plugin_static_function::human_readable_size(QString bytes)
{
    const QString text = bytes.trimmed();
    if (text.isEmpty())
        return QString();
    bool ok = false;
    quint64 count = text.toULongLong(&ok, 10);
    if (!ok)
        count = 0;

    // Kept unsigned: a count above the signed range must not turn negative.
    if (count < 1024ULL)
        return QString::number(count) + " B";
    if (count < 1048576ULL)
        return fixed_two(double(count) / 1024.0) + " KB";
    if (count < 1073741824ULL)
        return fixed_two(double(count) / 1048576.0) + " MB";
    return fixed_two(double(count) / 1073741824.0) + " GB";
}

QString plugin_static_function::mining_suffix(QString path)
{
    if (path.trimmed().isEmpty())
        return QString();
    QString name = QFileInfo(path).fileName();
    if (name.startsWith('.'))
        name.remove(0, 1);
    const qsizetype dot = name.lastIndexOf('.');
    return dot < 0 ? QString() : name.mid(dot + 1);
}

QString plugin_static_function::mining_size(QString path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QString();
    if (!info.isDir())
        return QString::number(info.size());
    return QString::number(directory_size(path));
}

QString plugin_static_function::convert_apple_time_to_epoch(QString value)
{
    const QString text = value.trimmed();
    if (text.isEmpty() || text == "0" || !is_decimal_number(text))
        return QString();
    qint64 seconds = 0;
    if (!parse_whole_number(before_first_dot(text), &seconds))
        return QString();
    if (seconds > std::numeric_limits<qint64>::max() - apple_epoch_offset)
        return QString();
    return QString::number(seconds + apple_epoch_offset);
}

QString plugin_static_function::convert_human_readable_to_epoch_1(QString value)
{
    QString text = value.trimmed();
    QString zone;
    for (const QString& marker : {QStringLiteral(" AM "), QStringLiteral(" PM ")})
    {
        if (!text.contains(marker))
            continue;
        const QStringList pieces = text.split(marker);
        if (pieces.size() >= 2)
            zone = pieces.at(1);
        text = text.left(text.lastIndexOf(marker) + 3);
        break;
    }
    zone = zone.trimmed();
    text = text.trimmed();

    QDate date;
    QTime time;
    if (!parse_wall_clock(text, ", ", "MMM d, yyyy", "h:mm:ss AP", &date, &time))
        return QString();
    // Only UTC is understood; any other zone word reads as the machine's own zone.
    if (zone == "UTC")
        return epoch_text(QDateTime(date, time, QTimeZone::utc()));
    return epoch_text(QDateTime(date, time));
}

QString plugin_static_function::convert_human_readable_to_epoch_2(QString value)
{
    const QString input = value.trimmed();
    QChar sign;
    QString offset_digits;
    if (!trailing_offset(input, &sign, &offset_digits))
        return QString();

    const QString stamp = before_first_dot(input.left(input.size() - 5)).trimmed();
    if (stamp.isEmpty() || stamp == "0")
        return QString();
    const QString utc_seconds = utc_wall_clock_epoch(stamp, " ", "yyyy-MM-dd", "hh:mm:ss");
    if (utc_seconds.isEmpty())
        return QString();

    const qint64 offset = convert_timezone_to_seconds(offset_digits);
    const qint64 seconds = utc_seconds.toLongLong();
    return QString::number(sign == '+' ? seconds - offset : seconds + offset);
}

QString plugin_static_function::convert_human_readable_to_epoch_3(QString value)
{
    QString text = value.trimmed();
    if (text.isEmpty() || text == "0")
        return QString();
    const qsizetype comma = text.indexOf(',');
    if (comma >= 0)
        text = text.mid(comma + 1);
    const qsizetype blank = text.lastIndexOf(' ');
    if (blank >= 0)
        text.truncate(blank);
    return utc_wall_clock_epoch(text.trimmed(), " ", "dd MMM yyyy", "hh:mm:ss");
}

int plugin_static_function::convert_timezone_to_seconds(QString value)
{
    const qint64 hours = whole_number_or_zero(value.left(2));
    const qint64 minutes = whole_number_or_zero(value.mid(2));
    if (hours > std::numeric_limits<int>::max() / 3600 || hours < std::numeric_limits<int>::min() / 3600 ||
        minutes > std::numeric_limits<int>::max() / 60 || minutes < std::numeric_limits<int>::min() / 60)
        return 0;
    const qint64 seconds = (hours * 60 + minutes) * 60;
    if (seconds > std::numeric_limits<int>::max() || seconds < std::numeric_limits<int>::min())
        return 0;
    return int(seconds);
}

QString plugin_static_function::convert_timestamp_to_human_readable_in_UTC(QString value)
{
    const QString text = value.trimmed();
    if (text.isEmpty())
        return QString();
    const qint64 seconds = whole_number_or_zero(before_first_dot(text));
    if (seconds == 0)
        return QString();
    const QDateTime instant = QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc());
    if (!instant.isValid())
        return QString();
    return QLocale::c().toString(instant, "dd-MMM-yyyy hh:mm:ss");
}

QDateTime plugin_static_function::get_datetime_from_string_with_iso_date(QString value)
{
    const QString caller =
        "static QDateTime plugin_static_function::get_datetime_from_string_with_iso_date(QString)";
    app_debug("Start ", caller);

    const QString text = value.trimmed();
    const QDateTime direct = QDateTime::fromString(text, Qt::ISODate);
    if (direct.isValid())
        return direct;

    // "2019-03-05 10:20:30 +0530": the blank before the offset is what the ISO parser refuses.
    const QStringList pieces = text.split(' ');
    if (pieces.size() < 3)
        return QDateTime();
    const QDateTime joined =
        QDateTime::fromString(pieces.at(0) + " " + pieces.at(1) + pieces.at(2), Qt::ISODate);
    app_debug("End ", caller);
    return joined;
}

struct_GLOBAL_ARTIFACT_posix_timestamps plugin_static_function::get_posix_timestamp(QString path,
                                                                                    QString prefix)
{
    struct_GLOBAL_ARTIFACT_posix_timestamps times;
    const QString trimmed_path = path.trimmed();
    const QString trimmed_prefix = prefix.trimmed();
    if (trimmed_path.isEmpty() || trimmed_prefix.isEmpty())
        return times;

    const QFileInfo info(trimmed_prefix + trimmed_path);
    if (!info.exists())
        return times;
    // A time the file system does not keep stays 0.
    times.birth_time = seconds_of(info.birthTime());
    times.access_time = seconds_of(info.lastRead());
    times.modification_time = seconds_of(info.lastModified());
    return times;
}
