#ifndef TIMELINE_ZONE_CLOCK_H
#define TIMELINE_ZONE_CLOCK_H

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QHash>
#include <QTime>
#include <QTimeZone>

// Wall clock to instant for a named zone: the tz database under the name, then a Windows zone name,
// then the machine's zone. A zone only the file defines falls back to the machine's zone.
class timeline_zone_clock
{
  public:
    void add_file_definition(const QByteArray& tzid, const QByteArray& vtimezone_text);
    qint64 epoch_of(QDate date, QTime time, QByteArrayView tzid);

  private:
    QHash<QByteArray, QTimeZone> zones; // by name; invalid: the machine's zone
};

#endif
