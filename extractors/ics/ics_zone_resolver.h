#ifndef ICS_ZONE_RESOLVER_H
#define ICS_ZONE_RESOLVER_H

// Turns a wall-clock time with a TZID into an instant. A TZID is looked up, in this order:
//   1. the tz database, under any of its names (canonical or link: Asia/Calcutta, US/Eastern, GB);
//   2. a Windows zone name (Eastern Standard Time);
//   3. the file's own VTIMEZONE with that TZID, evaluated by libical;
//   4. otherwise the machine's zone, and the name is reported once per file as unknown.
// A name is taken from the database only when a zone file of that name exists: Qt reads unknown ids
// such as "Eastern" as POSIX rules (offset 0), which would silently turn Eastern time into UTC.
// Zones the file defines live as long as the file: two files may define one TZID differently.
// In a daylight-saving overlap the standard-time reading is taken, in a gap the offset before the
// change, as python-icalendar and pytz read them.

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QHash>
#include <QList>
#include <QTime>
#include <QTimeZone>

#include <functional>
#include <memory>

class ics_file_zone;

class ics_zone_resolver
{
  public:
    enum class zone_source
    {
        unknown,
        tz_database,
        windows_name,
        file_definition
    };

    ics_zone_resolver();
    ~ics_zone_resolver();
    ics_zone_resolver(const ics_zone_resolver&) = delete;
    ics_zone_resolver& operator=(const ics_zone_resolver&) = delete;

    // Forgets the zones of the previous file and which unknown names were reported.
    void start_file();

    // A VTIMEZONE block of the file, lines joined by "\r\n". A later block of the same TZID
    // replaces an earlier one, as for other readers; definitions too large or with rules that
    // would expand without bound are not taken.
    void add_file_definition(const QByteArray& tzid, const QByteArray& vtimezone_text);
    QByteArray file_definition(QByteArrayView tzid) const;

    // Where `tzid` would be found now, without falling back to the machine's zone.
    zone_source source_of(QByteArrayView tzid);

    // Seconds since the epoch of `date` `time` read as a wall clock in `tzid`; with no TZID, on the
    // machine's clock.
    qint64 epoch_of(QDate date, QTime time, QByteArrayView tzid);

    // Names that fell back to the machine's zone since the last call, each once per file.
    QList<QByteArray> take_unknown_zones();
    bool has_unknown_zones() const { return !unknown_to_report.isEmpty(); }

    // The tz database zone for a name or a Windows name; invalid when neither knows it.
    static QTimeZone database_zone(QByteArrayView tzid, zone_source* source = nullptr);
    static qint64 machine_epoch(QDate date, QTime time);
    // The same, remembering the machine's offset for days far from any change.
    qint64 machine_epoch_of(QDate date, QTime time);

    struct offset_reading
    {
        int offset;
        bool daylight;
    };

  private:
    static QByteArray key_of(QByteArrayView tzid);

    QHash<QByteArray, QByteArray> definitions;
    QHash<QByteArray, std::shared_ptr<ics_file_zone>> file_zones;
    QHash<qint64, int> machine_offsets;
    QHash<QByteArray, bool> reported_unknown;
    QList<QByteArray> unknown_to_report;
};

#endif
