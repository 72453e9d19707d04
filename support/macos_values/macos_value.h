#ifndef MACOS_VALUE_H
#define MACOS_VALUE_H

// A tagged value of the portable build: string, number (boolean or not), array or date. Its
// handles are what the getters receive where the platform would hand over its own objects.

#include "support/macos_values/macos_objects.h"

#include <QDateTime>
#include <QList>
#include <QString>

class macos_value
{
  public:
    enum class value_kind
    {
        none,
        string,
        number,
        array,
        date
    };

    macos_value() = default;
    static macos_value from_string(const QString& text);
    static macos_value from_number(double number);
    static macos_value from_boolean(bool flag);
    static macos_value from_array(const QList<macos_value>& entries);
    static macos_value from_date(const QDateTime& instant);

    value_kind kind() const { return kind_value_kind; }
    bool is_boolean() const { return boolean_bool; }
    QString text() const { return text_QString; }
    double number() const { return number_double; }
    const QList<macos_value>& entries() const { return entries_QList; }
    QDateTime instant() const { return instant_QDateTime; }
    QString class_name() const;
    QString description() const;

    const macos_object* object() const;
    const macos_date* date_object() const;
    const macos_string* string_object() const;
    static const macos_value* from_object(const macos_object* object);
    static const macos_value* from_date_object(const macos_date* date);
    static const macos_value* from_string_object(const macos_string* string);

  private:
    QString quoted_description() const;

    value_kind kind_value_kind = value_kind::none;
    bool boolean_bool = false;
    QString text_QString;
    double number_double = 0.0;
    QList<macos_value> entries_QList;
    QDateTime instant_QDateTime;
};

#endif
