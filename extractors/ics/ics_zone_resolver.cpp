#include "extractors/ics/ics_zone_resolver.h"

#include "extractors/ics/ics_file_zone.h"

#include <QDateTime>
#include <QFile>

#include <algorithm>
#include <functional>
#include <vector>

namespace
{
using offset_reading = ics_zone_resolver::offset_reading;
using offset_function = std::function<offset_reading(qint64)>;

qint64 wall_as_utc(QDate date, QTime time)
{
    return (date.toJulianDay() - QDate(1970, 1, 1).toJulianDay()) * 86400 +
           time.msecsSinceStartOfDay() / 1000;
}

// The instant of a wall clock in a zone given by its offsets: of the readings one day before and
// one day after, those consistent with the wall clock. Two in an overlap (standard time wins,
// then the earlier instant), none in a gap (the offset before the change applies).
qint64 instant_of(qint64 wall, const offset_function& offset_at)
{
    const offset_reading before = offset_at(wall - 86400);
    const offset_reading after = offset_at(wall + 86400);
    // Nearly always no change within a day either side: the one offset decides.
    if (before.offset == after.offset && before.daylight == after.daylight &&
        offset_at(wall - before.offset).offset == before.offset)
        return wall - before.offset;
    bool found = false;
    qint64 best = 0;
    bool best_daylight = false;
    for (const offset_reading& guess : {before, after})
    {
        const qint64 candidate = wall - guess.offset;
        const offset_reading actual = offset_at(candidate);
        if (actual.offset != guess.offset)
            continue;
        const bool better = !found || (best_daylight && !actual.daylight) ||
                            (best_daylight == actual.daylight && candidate < best);
        if (better)
        {
            best = candidate;
            best_daylight = actual.daylight;
            found = true;
        }
    }
    return found ? best : wall - before.offset;
}

// A zone file's name: printable ASCII path segments, nothing that leaves the zone folder.
bool plausible_zone_name(QByteArrayView name)
{
    if (name.isEmpty() || name.size() > 255 || name.startsWith('/') || name.contains(QByteArrayView("..")))
        return false;
    for (char c : name)
    {
        const bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                             c == '/' || c == '_' || c == '-' || c == '+';
        if (!allowed)
            return false;
    }
    return true;
}

// True when one of the folders Qt reads zones from holds a TZif file of that name.
bool zone_file_exists(QByteArrayView name)
{
    if (!plausible_zone_name(name))
        return false;
    for (const char* folder : {"/usr/share/zoneinfo/", "/usr/lib/zoneinfo/", "/usr/share/lib/zoneinfo/"})
    {
        QFile file(QString::fromLatin1(folder) + QString::fromLatin1(name));
        if (file.open(QIODevice::ReadOnly))
            return file.read(4) == "TZif";
    }
    return false;
}

// A database zone's offsets as a table of its changes from 1900 to 2100, read once: Qt's lookup of
// one offset costs as much as reading a whole line of a calendar.
class zone_table
{
  public:
    explicit zone_table(const QTimeZone& zone) : zone(zone)
    {
        const QDateTime first(QDate(1900, 1, 1), QTime(0, 0), Qt::UTC);
        const QDateTime last(QDate(2100, 1, 1), QTime(0, 0), Qt::UTC);
        begin = first.toSecsSinceEpoch();
        end = last.toSecsSinceEpoch();
        initial = reading_at(first);
        for (const QTimeZone::OffsetData& change : zone.transitions(first, last))
        {
            changes.push_back(change.atUtc.toSecsSinceEpoch());
            readings.push_back(reading(change));
        }
    }

    offset_reading at(qint64 utc) const
    {
        if (utc < begin || utc >= end)
            return reading_at(QDateTime::fromSecsSinceEpoch(utc, Qt::UTC));
        const auto after = std::upper_bound(changes.begin(), changes.end(), utc);
        return after == changes.begin() ? initial : readings[size_t(after - changes.begin() - 1)];
    }

  private:
    static offset_reading reading(const QTimeZone::OffsetData& data)
    {
        return {data.offsetFromUtc, data.daylightTimeOffset != 0};
    }

    // Zones without a table of changes (UTC, fixed offsets) give no offset data: ask them directly.
    offset_reading reading_at(const QDateTime& moment) const
    {
        const QTimeZone::OffsetData data = zone.offsetData(moment);
        if (data.atUtc.isValid())
            return reading(data);
        return {zone.offsetFromUtc(moment), zone.isDaylightTime(moment)};
    }

    QTimeZone zone;
    qint64 begin = 0;
    qint64 end = 0;
    offset_reading initial{0, false};
    std::vector<qint64> changes;
    std::vector<offset_reading> readings;
};

const zone_table& table_of(const QByteArray& key, const QTimeZone& zone)
{
    static thread_local QHash<QByteArray, std::shared_ptr<zone_table>> tables;
    auto found = tables.constFind(key);
    if (found == tables.constEnd())
        found = tables.insert(key, std::make_shared<zone_table>(zone));
    return **found;
}

QTimeZone zone_by_file_name(QByteArrayView name)
{
    if (!zone_file_exists(name))
        return QTimeZone();
    return QTimeZone(name.toByteArray());
}
} // namespace

ics_zone_resolver::ics_zone_resolver() = default;
ics_zone_resolver::~ics_zone_resolver() = default;

QByteArray ics_zone_resolver::key_of(QByteArrayView tzid)
{
    return tzid.trimmed().toByteArray();
}

void ics_zone_resolver::start_file()
{
    definitions.clear();
    file_zones.clear();
    machine_offsets.clear();
    reported_unknown.clear();
    unknown_to_report.clear();
}

void ics_zone_resolver::add_file_definition(const QByteArray& tzid, const QByteArray& vtimezone_text)
{
    const QByteArray key = key_of(tzid);
    definitions.insert(key, vtimezone_text);
    file_zones.remove(key);
}

QByteArray ics_zone_resolver::file_definition(QByteArrayView tzid) const
{
    return definitions.value(key_of(tzid));
}

QTimeZone ics_zone_resolver::database_zone(QByteArrayView tzid, zone_source* source)
{
    struct found_zone
    {
        QTimeZone zone;
        zone_source source;
    };
    // Zone objects are costly to build and the same few names recur in every file.
    static thread_local QHash<QByteArray, found_zone> cache;
    const QByteArray key = key_of(tzid);
    auto cached = cache.constFind(key);
    if (cached == cache.constEnd())
    {
        found_zone found{zone_by_file_name(key), zone_source::tz_database};
        if (!found.zone.isValid())
        {
            const QByteArray iana = QTimeZone::windowsIdToDefaultIanaId(key);
            found = {iana.isEmpty() ? QTimeZone() : zone_by_file_name(iana), zone_source::windows_name};
        }
        if (!found.zone.isValid())
            found.source = zone_source::unknown;
        cached = cache.insert(key, found);
    }
    if (source)
        *source = cached->source;
    return cached->zone;
}

ics_zone_resolver::zone_source ics_zone_resolver::source_of(QByteArrayView tzid)
{
    zone_source source = zone_source::unknown;
    if (database_zone(tzid, &source).isValid())
        return source;
    const QByteArray key = key_of(tzid);
    auto zone = file_zones.constFind(key);
    if (zone == file_zones.constEnd())
    {
        const auto definition = definitions.constFind(key);
        if (definition == definitions.constEnd())
            return zone_source::unknown;
        zone = file_zones.insert(key, std::make_shared<ics_file_zone>(*definition));
    }
    return (*zone)->is_valid() ? zone_source::file_definition : zone_source::unknown;
}

qint64 ics_zone_resolver::machine_epoch(QDate date, QTime time)
{
    return QDateTime(date, time, Qt::LocalTime).toSecsSinceEpoch();
}

qint64 ics_zone_resolver::machine_epoch_of(QDate date, QTime time)
{
    const qint64 wall = wall_as_utc(date, time);
    const qint64 day = wall >= 0 ? wall / 86400 : (wall - 86399) / 86400;
    const auto known = machine_offsets.constFind(day);
    if (known != machine_offsets.constEnd())
        return wall - *known;
    const auto offset_at = [](qint64 utc)
    { return QDateTime::fromSecsSinceEpoch(utc, Qt::LocalTime).offsetFromUtc(); };
    const int before = offset_at(day * 86400 - 2 * 86400);
    // Days near a change keep the machine's own reading of gaps and overlaps.
    if (before != offset_at(day * 86400 + 3 * 86400))
        return machine_epoch(date, time);
    if (machine_offsets.size() < 100000)
        machine_offsets.insert(day, before);
    return wall - before;
}

qint64 ics_zone_resolver::epoch_of(QDate date, QTime time, QByteArrayView tzid)
{
    const QByteArray key = key_of(tzid);
    // No TZID is a floating time: the machine's clock by definition, not an unknown zone.
    if (key.isEmpty())
        return machine_epoch_of(date, time);
    const qint64 wall = wall_as_utc(date, time);
    const QTimeZone zone = database_zone(key);
    if (zone.isValid())
    {
        const zone_table& table = table_of(key, zone);
        return instant_of(wall, [&table](qint64 utc) { return table.at(utc); });
    }
    if (source_of(key) == zone_source::file_definition)
    {
        const ics_file_zone& file_zone = *file_zones.value(key);
        return instant_of(wall,
                          [&file_zone](qint64 utc)
                          {
                              bool daylight = false;
                              const int offset = file_zone.offset_at(utc, &daylight);
                              return offset_reading{offset, daylight};
                          });
    }
    if (!reported_unknown.contains(key))
    {
        reported_unknown.insert(key, true);
        unknown_to_report.append(key);
    }
    return machine_epoch_of(date, time);
}

QList<QByteArray> ics_zone_resolver::take_unknown_zones()
{
    QList<QByteArray> names;
    names.swap(unknown_to_report);
    return names;
}
