#ifndef MACOS_DICTIONARY_H
#define MACOS_DICTIONARY_H

// A dictionary of tagged values with string keys, as the portable build's platform dictionary.

#include "support/macos_values/macos_value.h"

#include <QHash>
#include <QString>

class macos_dictionary
{
  public:
    void insert(const QString& key, const macos_value& value);
    // The stored value, or null when the key is absent; valid until the next insert.
    const macos_value* value(const QString& key) const;

  private:
    QHash<QString, macos_value> values_QHash;
};

#endif
