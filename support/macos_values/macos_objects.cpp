#include "support/macos_values/macos_objects.h"

#include "support/macos_values/macos_dictionary.h"
#include "support/macos_values/macos_value.h"

// The portable build: handles are macos_value objects, the dictionary is a macos_dictionary and
// the key a string macos_value.
namespace
{
bool has_kind(const macos_object* object, macos_value::value_kind kind)
{
    return object && macos_value::from_object(object)->kind() == kind;
}
} // namespace

const macos_object* macos_objects::object_for_key(void* dictionary, void* key)
{
    if (!dictionary || !key)
        return nullptr;
    const macos_value* key_value = static_cast<const macos_value*>(key);
    if (key_value->kind() != macos_value::value_kind::string)
        return nullptr;
    const macos_value* found = static_cast<const macos_dictionary*>(dictionary)->value(key_value->text());
    return found ? found->object() : nullptr;
}

bool macos_objects::is_string(const macos_object* object)
{
    return has_kind(object, macos_value::value_kind::string);
}

bool macos_objects::is_number(const macos_object* object)
{
    return has_kind(object, macos_value::value_kind::number);
}

bool macos_objects::is_array(const macos_object* object)
{
    return has_kind(object, macos_value::value_kind::array);
}

bool macos_objects::is_date(const macos_object* object)
{
    return has_kind(object, macos_value::value_kind::date);
}

QString macos_objects::class_name(const macos_object* object)
{
    return object ? macos_value::from_object(object)->class_name() : QString();
}

double macos_objects::double_value(const macos_object* number)
{
    return is_number(number) ? macos_value::from_object(number)->number() : 0.0;
}

qsizetype macos_objects::count(const macos_object* array)
{
    return is_array(array) ? macos_value::from_object(array)->entries().size() : 0;
}

const macos_object* macos_objects::object_at_index(const macos_object* array, qsizetype index)
{
    if (index < 0 || index >= count(array))
        return nullptr;
    return macos_value::from_object(array)->entries().at(index).object();
}

QString macos_objects::string_value(const macos_object* string)
{
    return is_string(string) ? macos_value::from_object(string)->text() : QString();
}

QString macos_objects::string_value(const macos_string* string)
{
    if (!string)
        return QString();
    const macos_value* value = macos_value::from_string_object(string);
    return value->kind() == macos_value::value_kind::string ? value->text() : QString();
}

QString macos_objects::description(const macos_object* object)
{
    return object ? macos_value::from_object(object)->description() : QString();
}

bool macos_objects::milliseconds_since_epoch(const macos_date* date, qint64* milliseconds)
{
    if (!date)
        return false;
    const macos_value* value = macos_value::from_date_object(date);
    if (value->kind() != macos_value::value_kind::date || !value->instant().isValid())
        return false;
    *milliseconds = value->instant().toMSecsSinceEpoch();
    return true;
}
