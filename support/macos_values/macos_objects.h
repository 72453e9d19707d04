#ifndef MACOS_OBJECTS_H
#define MACOS_OBJECTS_H

// The object operations the macOS value getters rely on, behind opaque handles. The handles stand
// for the platform's own objects; only the build behind this header knows what they point to, so
// nothing here names a platform type.

#include <QString>
#include <QtGlobal>

struct macos_object; // any platform object
struct macos_date;   // a platform date
struct macos_string; // a platform string

class macos_objects
{
  public:
    // The value stored under `key` in `dictionary`, or null when either is null or the key is absent.
    static const macos_object* object_for_key(void* dictionary, void* key);

    static bool is_string(const macos_object* object);
    static bool is_number(const macos_object* object);
    static bool is_array(const macos_object* object);
    static bool is_date(const macos_object* object);

    // The exact class name the platform reports ("__NSCFBoolean" for a boolean number).
    static QString class_name(const macos_object* object);
    static double double_value(const macos_object* number);
    static qsizetype count(const macos_object* array);
    static const macos_object* object_at_index(const macos_object* array, qsizetype index);
    static QString string_value(const macos_object* string);
    static QString string_value(const macos_string* string);
    // The platform's printed description of any object.
    static QString description(const macos_object* object);
    // The date's own instant; false when `date` is no date.
    static bool milliseconds_since_epoch(const macos_date* date, qint64* milliseconds);
};

#endif
