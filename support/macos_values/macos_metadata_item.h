#ifndef MACOS_METADATA_ITEM_H
#define MACOS_METADATA_ITEM_H

// The metadata store's item of one file, and the printed descriptions of its attributes.

#include <QString>

class macos_metadata_item
{
  public:
    explicit macos_metadata_item(const QString& file_path);

    // False when the store has no item for the path.
    bool is_valid() const { return valid_bool; }
    // The attribute's printed description; false when the item lacks the attribute.
    bool attribute_description(const QString& name, QString* description) const;

  private:
    QString file_path_QString;
    bool valid_bool = false;
};

#endif
