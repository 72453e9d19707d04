#ifndef RESULT_SCHEMA_H
#define RESULT_SCHEMA_H

// Every table of the result database in one place: the suite's two tables keep their creation
// statements character for character (the suite reads them), and the companion tables keep what
// the suite's calendar_events has no column for. The store, the clear, the timeline and the tests
// all take names and columns from here.

#include <QList>
#include <QString>
#include <QStringList>

struct result_column
{
    QString name;
    QString type; // SQL type as declared
};

struct result_table
{
    QString name;
    QList<result_column> columns; // INT, the key, excluded
    QString create_statement;

    QStringList column_names() const;
    // "insert into NAME(c1,c2,...)values(?,?,...)" over every column but INT.
    QString insert_statement() const;
};

class result_schema
{
  public:
    static const result_table& calendar_events();
    static const result_table& exportfilelist();

    // Companion tables: created and emptied together with calendar_events. Those tied to an event
    // carry its calendar_events INT in event_int.
    static const result_table& calendar_event_people();
    static const result_table& calendar_event_series();
    static const result_table& calendar_event_alarms();
    static const result_table& calendar_source_files();
    static const result_table& calendar_source_archives();
    static const result_table& calendar_extraction_runs();

    // The suite's tables, then the companions, in creation order.
    static const QList<result_table>& tables();
    static const QList<result_table>& companion_tables();
    static const result_table* table_named(const QString& name);
};

#endif
