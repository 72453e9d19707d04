#include "support/plugin_static_function.h"

QString plugin_static_function::convert_T_Z_time_to_epoch(QString value)
{
    return convert_T_Z_time_to_epoch(value, QString());
}

QString plugin_static_function::convert_T_Z_time_to_epoch(QString value, QString zone_id)
{
    Q_UNUSED(value);
    Q_UNUSED(zone_id);
    return QString();
}

QString plugin_static_function::convert_google_time_to_epoch(QString value)
{
    Q_UNUSED(value);
    return QString();
}
