#include "support/plugin_static_function.h"

#include <QByteArray>
#include <QTimeZone>

namespace
{
bool cancelled()
{
    return plugin_static_function::bool_cancel_extraction.load();
}

// Everything after the first `separator`; false when the text holds none.
bool after_first(const QString& text, const QString& separator, QString* rest)
{
    const qsizetype at = text.indexOf(separator);
    if (at < 0)
        return false;
    *rest = text.mid(at + separator.size());
    return true;
}

// Piece 2 of the text split at `separator`; false when there are fewer than two pieces.
bool second_piece(const QString& text, const QString& separator, QString* piece)
{
    const QStringList pieces = text.split(separator);
    if (pieces.size() < 2)
        return false;
    *piece = pieces.at(1);
    return true;
}

int hex_digit_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "%" and two hexadecimal digits become that byte; any other "%" stays as it is.
QByteArray percent_decoded(const QByteArray& bytes)
{
    QByteArray decoded;
    decoded.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i)
    {
        if (bytes.at(i) == '%' && i + 2 < bytes.size() && hex_digit_value(bytes.at(i + 1)) >= 0 &&
            hex_digit_value(bytes.at(i + 2)) >= 0)
        {
            decoded.append(char(hex_digit_value(bytes.at(i + 1)) * 16 + hex_digit_value(bytes.at(i + 2))));
            i += 2;
            continue;
        }
        decoded.append(bytes.at(i));
    }
    return decoded;
}

bool is_four_hex_digits(const QString& group)
{
    if (group.size() != 4)
        return false;
    for (const QChar c : group)
    {
        if (c.unicode() > 0x7f || hex_digit_value(char(c.unicode())) < 0)
            return false;
    }
    return true;
}

const char* const unicode_caller =
    "static QString plugin_static_function::convert_string_to_unicode(QString)";

// The up to four characters after each "\U", in order; false when cancelled.
bool collect_escape_groups(const QString& text, QStringList* groups)
{
    qsizetype at = text.indexOf("\\U");
    while (at >= 0)
    {
        if (cancelled())
            return false;
        QString group;
        for (qsizetype i = at + 2; i < text.size() && group.size() < 4; ++i)
        {
            group.append(text.at(i));
            if (cancelled())
                return false;
        }
        groups->append(group);
        if (cancelled())
            return false;
        at = text.indexOf("\\U", at + 1);
    }
    return true;
}
} // namespace

QString plugin_static_function::get_filtered_number_value(QString value)
{
    const QString text = value.trimmed();
    const QStringList pieces = text.split(',');
    if (text.isEmpty() || pieces.size() < 2)
        return QString();
    const QString slot = pieces.at(0);

    QString digits;
    if (second_piece(slot, "+", &digits))
        return digits.trimmed();
    // A negative number is printed with its "-" and no "+"; the sign is part of the value.
    const qsizetype minus = slot.indexOf('-', qMax<qsizetype>(0, slot.lastIndexOf('=')));
    if (minus < 0)
        return QString();
    const QString magnitude = slot.mid(minus + 1).trimmed();
    return magnitude.isEmpty() ? QString() : "-" + magnitude;
}

QString plugin_static_function::get_filtered_boolean_value(QString value)
{
    const QString text = value.trimmed();
    QString body;
    QString word;
    if (text.isEmpty() || !second_piece(text, "]>{", &body) || !second_piece(body, "=", &word))
        return QString();
    word.chop(1);
    return word.trimmed();
}

QString plugin_static_function::get_filtered_cfstring_value(QString value)
{
    const QString text = value.trimmed();
    QString body;
    QString contents;
    // Everything after the first "=" is the contents, which may hold "=" themselves.
    if (text.isEmpty() || !after_first(text, "]>{", &body) || !after_first(body, "=", &contents))
        return QString();
    contents.chop(1);
    contents.remove('"');
    return contents.trimmed();
}

QString plugin_static_function::get_filtered_wherefrom_value(QString value)
{
    QString text = value.trimmed();
    if (text.isEmpty())
        return QString();
    text.remove('\n');
    text.remove("  ");
    text.remove("(\"");
    text.remove("\")");
    text.replace("\",", ";");
    text.replace(",", "\n");
    text.replace('<', '(');
    text.replace('>', ')');
    text.remove('"');
    text.replace("\\U2019s", "'s");
    text = QString::fromUtf8(percent_decoded(text.toUtf8()));
    return text.trimmed();
}

QString plugin_static_function::get_filtered_string_value(QString value)
{
    const QString text = value.trimmed();
    if (text.isEmpty())
        return QString();
    QString joined;
    const QStringList pieces = text.split(',');
    for (QString piece : pieces)
    {
        if (cancelled())
            return QString();
        piece.remove('(');
        piece.remove(')');
        piece.remove('"');
        joined += piece.trimmed() + ";";
    }
    joined.chop(1);
    return joined;
}

QString plugin_static_function::get_filtered_date_value(QString value)
{
    const QString text = value.trimmed();
    if (text.isEmpty())
        return QString();
    const QDateTime parsed = get_datetime_from_string_with_iso_date(text);
    if (!parsed.isValid())
        return QString();
    // The printed wall clock is read as UTC; the offset it carried is not applied.
    const qint64 seconds =
        QDateTime(parsed.date(), parsed.time(), QTimeZone::utc()).toMSecsSinceEpoch() / 1000;
    // Short values are no plausible dates here, and an instant before 1970 is refused rather
    // than written as 0, which would read as a real time.
    if (QString::number(seconds).size() <= 8 || seconds < 0)
        return QString();
    return QString::number(seconds);
}

QString plugin_static_function::convert_string_to_unicode(QString value)
{
    QString text = value.trimmed();
    if (text.isEmpty())
        return QString();
    app_debug(" : running", unicode_caller);
    if (cancelled())
        return QString();

    QStringList groups;
    if (!collect_escape_groups(text, &groups))
        return QString();
    app_debug(" : infinite loop cross", unicode_caller);
    if (groups.isEmpty())
        return text;

    for (const QString& group : groups)
    {
        if (cancelled())
            return QString();
        // Only a full group of four hexadecimal digits is an escape; "\Users" in a path stays as it is.
        if (!is_four_hex_digits(group))
            continue;
        const QChar unit(char16_t(group.toUInt(nullptr, 16) & 0xffff));
        if (cancelled())
            return QString();
        text.replace("\\U" + group, QString(unit));
    }
    return text;
}

QList<QString> plugin_static_function::get_unmatched_varible_list_of_parentlist(QList<QString> parent,
                                                                                QList<QString> other)
{
    QList<QString> unmatched;
    for (const QString& entry : parent)
    {
        if (cancelled())
            break;
        if (!other.contains(entry))
            unmatched.append(entry);
    }
    return unmatched;
}

QString plugin_static_function::get_source_os_scan_version(QString os_scheme)
{
    QString version = source_os_version_full;
    const bool keep_whole = (os_scheme == "macOS" && version.startsWith("10")) ||
                            (os_scheme != "macOS" && os_scheme != "iOS" && os_scheme != "winOS");
    if (!keep_whole)
        version = version.section('.', 0, 0);
    return version.replace('.', '_');
}
