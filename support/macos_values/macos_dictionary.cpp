#include "support/macos_values/macos_dictionary.h"

void macos_dictionary::insert(const QString& key, const macos_value& value)
{
    values_QHash.insert(key, value);
}

const macos_value* macos_dictionary::value(const QString& key) const
{
    const auto found = values_QHash.constFind(key);
    return found == values_QHash.constEnd() ? nullptr : &found.value();
}
