#include "timeline/timeline_zone_clock.h"

#include <QDateTime>
#include <QTimeZone>

void timeline_zone_clock::add_file_definition(const QByteArray&, const QByteArray&) {}

qint64 timeline_zone_clock::epoch_of(QDate date, QTime time, QByteArrayView tzid)
{
    const QByteArray name = tzid.toByteArray();
    auto found = zones.find(name);
    if (found == zones.end())
    {
        QTimeZone zone;
        if (!name.isEmpty())
        {
            zone = QTimeZone(name);
            if (!zone.isValid())
                zone = QTimeZone(QTimeZone::windowsIdToDefaultIanaId(name));
        }
        found = zones.insert(name, zone);
    }
    const QTimeZone& zone = found.value();
    const QDateTime wall =
        zone.isValid() ? QDateTime(date, time, zone) : QDateTime(date, time, Qt::LocalTime);
    return wall.toSecsSinceEpoch();
}
