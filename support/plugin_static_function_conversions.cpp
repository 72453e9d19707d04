#include "support/plugin_static_function.h"

// Placeholders: date and time conversions.
QString plugin_static_function::get_human_readable_time(QString) { return QString(); }
QString plugin_static_function::human_readable_size(QString) { return QString(); }
QString plugin_static_function::mining_suffix(QString) { return QString(); }
QString plugin_static_function::mining_size(QString) { return QString(); }
QString plugin_static_function::convert_apple_time_to_epoch(QString) { return QString(); }
QString plugin_static_function::convert_human_readable_to_epoch_1(QString) { return QString(); }
QString plugin_static_function::convert_human_readable_to_epoch_2(QString) { return QString(); }
QString plugin_static_function::convert_human_readable_to_epoch_3(QString) { return QString(); }
int plugin_static_function::convert_timezone_to_seconds(QString) { return 0; }
QString plugin_static_function::convert_timestamp_to_human_readable_in_UTC(QString) { return QString(); }
QDateTime plugin_static_function::get_datetime_from_string_with_iso_date(QString) { return QDateTime(); }
struct_GLOBAL_ARTIFACT_posix_timestamps plugin_static_function::get_posix_timestamp(QString, QString)
{
    return struct_GLOBAL_ARTIFACT_posix_timestamps();
}
