#ifndef TIMELINE_SETTINGS_H
#define TIMELINE_SETTINGS_H

#include <QString>
#include <QtGlobal>

#include <optional>

// What the command line decides about an export.
struct timeline_settings
{
    // Entries at or after `from` and before `until` (epoch seconds); unset: no bound. `until` is also
    // the horizon of every series without an end.
    std::optional<qint64> from;
    std::optional<qint64> until;
    // Replace an existing output file.
    bool force = false;
    // Occurrences one series may yield; a hostile rule (FREQ=SECONDLY) stops here.
    int occurrence_cap = 10000;

    // DATE as 2024-03-14, midnight UTC. Empty on success, else the reason naming `option`.
    QString set_from(const QString& date, const QString& option);
    QString set_until(const QString& date, const QString& option);
};

#endif
