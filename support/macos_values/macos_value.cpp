#include "support/macos_values/macos_value.h"

#include <QLocale>
#include <QStringList>
#include <QTimeZone>

macos_value macos_value::from_string(const QString& text)
{
    macos_value value;
    value.kind_value_kind = value_kind::string;
    value.text_QString = text;
    return value;
}

macos_value macos_value::from_number(double number)
{
    macos_value value;
    value.kind_value_kind = value_kind::number;
    value.number_double = number;
    return value;
}

macos_value macos_value::from_boolean(bool flag)
{
    macos_value value = from_number(flag ? 1.0 : 0.0);
    value.boolean_bool = true;
    return value;
}

macos_value macos_value::from_array(const QList<macos_value>& entries)
{
    macos_value value;
    value.kind_value_kind = value_kind::array;
    value.entries_QList = entries;
    return value;
}

macos_value macos_value::from_date(const QDateTime& instant)
{
    macos_value value;
    value.kind_value_kind = value_kind::date;
    value.instant_QDateTime = instant;
    return value;
}

QString macos_value::class_name() const
{
    switch (kind_value_kind)
    {
    case value_kind::string:
        return "__NSCFString";
    case value_kind::number:
        return boolean_bool ? "__NSCFBoolean" : "__NSCFNumber";
    case value_kind::array:
        return "__NSArrayI";
    case value_kind::date:
        return "__NSDate";
    case value_kind::none:
        break;
    }
    return QString();
}

// Printed the way the platform prints: a date in UTC with its offset, an array as "(" line,
// one indented entry a line separated by ",", ")" line.
QString macos_value::description() const
{
    switch (kind_value_kind)
    {
    case value_kind::string:
        return text_QString;
    case value_kind::number:
        if (boolean_bool)
            return number_double != 0.0 ? "1" : "0";
        return QString::number(number_double, 'g', QLocale::FloatingPointShortest);
    case value_kind::date:
        return QLocale::c().toString(instant_QDateTime.toTimeZone(QTimeZone::utc()), "yyyy-MM-dd hh:mm:ss") +
               " +0000";
    case value_kind::array:
    {
        QStringList lines;
        for (const macos_value& entry : entries_QList)
            lines << "    " + entry.quoted_description().replace('\n', "\n    ");
        return lines.isEmpty() ? "(\n)" : "(\n" + lines.join(",\n") + "\n)";
    }
    case value_kind::none:
        break;
    }
    return QString();
}

QString macos_value::quoted_description() const
{
    if (kind_value_kind != value_kind::string && kind_value_kind != value_kind::date)
        return description();
    QString text = description();
    text.replace('\\', "\\\\").replace('"', "\\\"");
    return "\"" + text + "\"";
}

// The handles are this value's address under the platform's names; only this build turns them back.
const macos_object* macos_value::object() const
{
    return reinterpret_cast<const macos_object*>(this);
}

const macos_date* macos_value::date_object() const
{
    return reinterpret_cast<const macos_date*>(this);
}

const macos_string* macos_value::string_object() const
{
    return reinterpret_cast<const macos_string*>(this);
}

const macos_value* macos_value::from_object(const macos_object* object)
{
    return reinterpret_cast<const macos_value*>(object);
}

const macos_value* macos_value::from_date_object(const macos_date* date)
{
    return reinterpret_cast<const macos_value*>(date);
}

const macos_value* macos_value::from_string_object(const macos_string* string)
{
    return reinterpret_cast<const macos_value*>(string);
}
