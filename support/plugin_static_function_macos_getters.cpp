#include "support/plugin_static_function.h"

#include "support/macos_values/macos_autorelease_pool.h"
#include "support/macos_values/macos_metadata_item.h"
#include "support/macos_values/macos_objects.h"

#include <QTimeZone>

#include <cmath>

namespace
{
bool cancelled()
{
    return plugin_static_function::bool_cancel_extraction.load();
}

// Truncated toward zero, in decimal; a value that is no finite number gives an empty text.
QString whole_number_text(double value)
{
    if (!std::isfinite(value))
        return QString();
    return QString::number(std::trunc(value) + 0.0, 'f', 0); // + 0.0: no "-0"
}

QString yes_no_text(double value)
{
    const double whole = std::trunc(value);
    if (whole == 0.0)
        return "NO";
    if (whole == 1.0)
        return "YES";
    return QString();
}

QString labelled(const QString& label, const QString& value)
{
    return (label + ":+:" + value).trimmed();
}

const macos_object* number_for_key(void* key, void* dictionary)
{
    const macos_object* value = macos_objects::object_for_key(dictionary, key);
    return macos_objects::is_number(value) ? value : nullptr;
}

const macos_object* string_for_key(void* key, void* dictionary)
{
    const macos_object* value = macos_objects::object_for_key(dictionary, key);
    return macos_objects::is_string(value) ? value : nullptr;
}

// A string entry gives its text; any other entry its printed description, so that nothing is lost.
QString entry_text(const macos_object* entry)
{
    if (macos_objects::is_string(entry))
        return macos_objects::string_value(entry);
    return macos_objects::description(entry);
}

// A printed date as epoch seconds text. A date that does not parse, or an instant before 1970, gives
// an empty text rather than a 0 that would read as a real time.
QString used_date_epoch(const QString& printed)
{
    const QDateTime parsed = plugin_static_function::get_datetime_from_string_with_iso_date(printed);
    if (!parsed.isValid())
        return QString();
    // The printed wall clock is read as UTC, which is what the platform prints.
    const qint64 seconds =
        QDateTime(parsed.date(), parsed.time(), QTimeZone::utc()).toMSecsSinceEpoch() / 1000;
    return seconds < 0 ? QString() : QString::number(seconds);
}
} // namespace

QString plugin_static_function::convert_cfstring_to_qstring(const macos_string* text)
{
    const macos_autorelease_pool pool;
    return macos_objects::string_value(text);
}

QString plugin_static_function::get_nsstring_values(void* key, void* dictionary)
{
    const macos_autorelease_pool pool;
    const macos_object* value = string_for_key(key, dictionary);
    return value ? macos_objects::string_value(value).trimmed() : QString();
}

QString plugin_static_function::get_nsnumber_values(void* key, void* dictionary)
{
    const macos_autorelease_pool pool;
    const macos_object* value = number_for_key(key, dictionary);
    return value ? whole_number_text(macos_objects::double_value(value)) : QString();
}

QString plugin_static_function::get_nsnumber_values_yes_no(void* key, void* dictionary)
{
    const macos_autorelease_pool pool;
    const macos_object* value = number_for_key(key, dictionary);
    // Only a boolean object says yes or no; the numbers 0 and 1 do not.
    if (!value || macos_objects::class_name(value) != "__NSCFBoolean")
        return QString();
    return yes_no_text(macos_objects::double_value(value));
}

QString plugin_static_function::get_nsnumber_key_and_value_yes_no(void* key, void* dictionary, QString label)
{
    const macos_autorelease_pool pool;
    const macos_object* value = number_for_key(key, dictionary);
    return value ? labelled(label, yes_no_text(macos_objects::double_value(value))) : QString();
}

QString plugin_static_function::get_nsstring_key_and_values(void* key, void* dictionary, QString label)
{
    const macos_autorelease_pool pool;
    const macos_object* value = string_for_key(key, dictionary);
    return value ? labelled(label, macos_objects::string_value(value).trimmed()) : QString();
}

QString plugin_static_function::get_nsnumber_key_and_values(void* key, void* dictionary, QString label)
{
    const macos_autorelease_pool pool;
    const macos_object* value = number_for_key(key, dictionary);
    return value ? labelled(label, whole_number_text(macos_objects::double_value(value))) : QString();
}

QString plugin_static_function::get_nsarray_key_and_values(void* key, void* dictionary, QString label)
{
    const macos_autorelease_pool pool;
    const macos_object* array = macos_objects::object_for_key(dictionary, key);
    if (!macos_objects::is_array(array))
        return QString();

    QString joined;
    const qsizetype count = macos_objects::count(array);
    for (qsizetype i = 0; i < count; ++i)
    {
        if (cancelled())
            return QString();
        joined += entry_text(macos_objects::object_at_index(array, i)).trimmed() + ";";
    }
    joined.chop(1);
    return labelled(label, joined);
}

qint64 plugin_static_function::convert_nsdate_to_epoch(const macos_date* date, const macos_object* object)
{
    // The instant itself: no detour through local wall-clock text, which is ambiguous in a
    // daylight-saving overlap and depends on the locale's month names.
    qint64 milliseconds = 0;
    if (!date || !macos_objects::is_date(object) ||
        !macos_objects::milliseconds_since_epoch(date, &milliseconds))
        return 0;
    return milliseconds / 1000;
}

struct_GLOBAL_ARTIFACT_used_dates plugin_static_function::extract_used_date(QString file_path)
{
    const macos_autorelease_pool pool;
    struct_GLOBAL_ARTIFACT_used_dates record;
    const macos_metadata_item item(file_path);
    if (!item.is_valid())
        return record;

    QString printed;
    if (item.attribute_description("kMDItemLastUsedDate", &printed))
        record.last_used_date = used_date_epoch(printed);
    if (!item.attribute_description("kMDItemUsedDates", &printed))
        return record;

    printed.remove('(');
    printed.remove(')');
    printed.remove('"');
    QList<QString> dates;
    const QStringList pieces = printed.split(',');
    for (const QString& piece : pieces)
    {
        if (cancelled())
            return record;
        // An empty list prints as "()" and holds no entry.
        if (piece.trimmed().isEmpty())
            continue;
        dates.append(used_date_epoch(piece.trimmed()));
    }
    record.used_dates_list = dates;
    if (!dates.isEmpty())
    {
        record.first_used_date = dates.first();
        record.latest_used_date = dates.last();
    }
    return record;
}
