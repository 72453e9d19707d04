#ifndef ICS_CALENDAR_STORE_H
#define ICS_CALENDAR_STORE_H

// Writes event rows into calendar_events through one statement prepared once per run.

#include "extractors/ics_event_row.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

// Where a row came from, the same for every row of one file.
struct ics_row_provenance
{
    QString takeout_email_id;
    QString relative_path;
    QString source_file;
    QString source_count_name;
    QString os_scheme_display;
};

class ics_calendar_store
{
  public:
    explicit ics_calendar_store(QSqlDatabase& db);

    bool insert(const ics_event_row& row, const ics_row_provenance& provenance);

    QString last_error_text() const;
    QString executed_query() const;

  private:
    QSqlQuery query;
    bool prepared_bool = false;
};

#endif
