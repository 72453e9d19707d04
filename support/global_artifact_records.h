#ifndef GLOBAL_ARTIFACT_RECORDS_H
#define GLOBAL_ARTIFACT_RECORDS_H

#include <QList>
#include <QString>
#include <QtGlobal>

// File-system times of one file, in Unix epoch seconds.
struct struct_GLOBAL_ARTIFACT_posix_timestamps
{
    qint64 birth_time = 0;
    qint64 access_time = 0;
    qint64 modification_time = 0;
};

// Usage dates of one file from the metadata store, as epoch seconds text.
struct struct_GLOBAL_ARTIFACT_used_dates
{
    QString last_used_date;
    QList<QString> used_dates_list;
    QString first_used_date;
    QString latest_used_date;
};

#endif
