#ifndef ICS_CALENDAR_STORE_H
#define ICS_CALENDAR_STORE_H

// Writes event rows into calendar_events, and their guests, series and alarms into the companion
// tables tied by the new row's INT, through statements prepared once per run. The values are bound
// as UTF-8 through the connection's own SQLite handle: a Qt bind per value costs more than the
// whole scan of the line it came from.

#include "extractors/ics/ics_event_row.h"
#include "extractors/ics/ics_event_settlement.h"

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

// Where a row came from, the same for every row of one file.
struct ics_row_provenance
{
    QByteArray takeout_email_id;
    QByteArray relative_path;
    QByteArray source_file;
    QByteArray source_count_name;
    QByteArray os_scheme_display;
};

class ics_calendar_store
{
  public:
    explicit ics_calendar_store(QSqlDatabase& db);
    ~ics_calendar_store();
    ics_calendar_store(const ics_calendar_store&) = delete;
    ics_calendar_store& operator=(const ics_calendar_store&) = delete;

    bool insert(const ics_settled_event& event, const ics_row_provenance& provenance);
    bool insert(const ics_event_row& row, const ics_row_provenance& provenance);

    QString last_error_text() const;
    QString executed_query() const;

    // True once SQLite has rolled the run's transaction back by itself (a full disk does that):
    // later rows would land outside it, one by one, with the earlier ones gone.
    bool transaction_lost() const;

  private:
    bool bind_and_step(sqlite3_stmt* target, const QList<const QByteArray*>& values);
    bool insert_companions(sqlite3_stmt* target, qint64 event_int, const QList<ics_companion_row>& rows);
    void remove_event(qint64 event_int);

    sqlite3* handle = nullptr;
    sqlite3_stmt* statement = nullptr;
    sqlite3_stmt* people_statement = nullptr;
    sqlite3_stmt* series_statement = nullptr;
    sqlite3_stmt* alarms_statement = nullptr;
    QString error_text;
};

#endif
