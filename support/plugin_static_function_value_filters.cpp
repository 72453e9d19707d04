#include "support/plugin_static_function.h"

// Placeholders: value filters.
QString plugin_static_function::get_filtered_number_value(QString) { return QString(); }
QString plugin_static_function::get_filtered_boolean_value(QString) { return QString(); }
QString plugin_static_function::get_filtered_cfstring_value(QString) { return QString(); }
QString plugin_static_function::get_filtered_wherefrom_value(QString) { return QString(); }
QString plugin_static_function::get_filtered_string_value(QString) { return QString(); }
QString plugin_static_function::get_filtered_date_value(QString) { return QString(); }
QString plugin_static_function::convert_string_to_unicode(QString) { return QString(); }
QList<QString> plugin_static_function::get_unmatched_varible_list_of_parentlist(QList<QString>, QList<QString>)
{
    return QList<QString>();
}
QString plugin_static_function::get_source_os_scan_version(QString) { return QString(); }
