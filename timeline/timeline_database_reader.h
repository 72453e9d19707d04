#ifndef TIMELINE_DATABASE_READER_H
#define TIMELINE_DATABASE_READER_H

#include "timeline/timeline_event.h"

#include <QList>
#include <QString>

class QSqlDatabase;

// Reads the events of a result database, read-only, with their series and people rows. Columns are
// taken by name from the result schema; a database from before the companion tables reads as events
// without series or people.
class timeline_database_reader
{
  public:
    // Empty on success, else the reason in one line.
    QString read(const QString& db_path, QList<timeline_event>* events);

  private:
    QString read_events(QSqlDatabase& db, const QString& db_path, QList<timeline_event>* events);
    QString read_series(QSqlDatabase& db, const QString& db_path, QList<timeline_event>* events);
    QString read_people(QSqlDatabase& db, const QString& db_path, QList<timeline_event>* events);
};

#endif
