#include "support/plugin_static_function.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

namespace
{
const QString sig_execute_by_path = "static bool plugin_static_function::execute_db_command_by_dbpath(QString, QString, QString)";
const QString sig_execute_bind_by_path = "static bool plugin_static_function::execute_db_command_with_addbindvalue_by_dbpath(QString, QStringList, QString, QString)";
const QString sig_execute_by_reference = "static bool plugin_static_function::execute_db_command_by_dbreference(QString, QSqlDatabase&, QString)";
const QString sig_execute_bind_by_reference = "static bool plugin_static_function::execute_db_command_with_addbindvalue_by_dbreference(QString, QStringList, QSqlDatabase&, QString)";
const QString sig_rows_by_reference = "static QStringList plugin_static_function::get_stringlist_from_db_by_dbreference(QString, int, QSqlDatabase&, QString)";
const QString sig_rows_bind_by_reference = "static QStringList plugin_static_function::get_stringlist_from_db_with_addbindvalues_by_dbreference(QString, QStringList, int, QSqlDatabase&, QString)";
const QString sig_rows_by_path = "static QStringList plugin_static_function::get_stringlist_from_db_by_dbpath(QString, int, QString, QString)";
const QString sig_rows_bind_by_path = "static QStringList plugin_static_function::get_stringlist_from_db_with_addbindvalues_by_dbpath(QString, QStringList, int, QString, QString)";
const QString sig_value_existence = "static bool plugin_static_function::check_value_existence_in_db_by_dbreference(QString, int, QString, QSqlDatabase)";
const QString sig_tables_by_path = "static QStringList plugin_static_function::get_total_tables_list_by_dbpath(QString, QString)";

void log(const QString& text, const QString& signature)
{
    plugin_static_function::app_debug(text, signature);
}

// Registers a fresh connection under `name` and opens it; on failure writes the three open lines.
bool open_connection(const QString& name, const QString& db_path, const QString& caller, const QString& signature,
                     bool blank_prefixed)
{
    QSqlDatabase::removeDatabase(name);
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
    db.setDatabaseName(db_path);
    if (db.open())
        return true;
    const QString lead = blank_prefixed ? " " : "";
    log(lead + "Destination Db opening --------FAILED------ " + db_path, signature);
    log("CALLER FUNCTION -  " + caller, signature);
    log(lead + "error -  " + db.lastError().text(), signature);
    return false;
}

// Binds every value in order; false when the cancel flag stops it first.
bool bind_all(QSqlQuery& query, const QStringList& values)
{
    for (const QString& value : values)
    {
        if (plugin_static_function::bool_cancel_extraction)
            return false;
        query.addBindValue(value);
    }
    return true;
}

struct failure_texts
{
    QString query_line;  // followed by the database file name
    QString caller_line; // followed by the caller text
    QString command_line;
    QString error_line;
};

// Prepares `command`; a command that cannot be prepared fails at execution, whose own error would
// then only say "No query": the reason is the one the driver gave while preparing.
QSqlError prepare_command(QSqlQuery& query, const QString& command)
{
    return query.prepare(command) ? QSqlError() : query.lastError();
}

QString failure_text(const QSqlQuery& query, const QSqlError& prepare_error)
{
    return prepare_error.isValid() ? prepare_error.text() : query.lastError().text();
}

void log_execution_failure(const failure_texts& texts, const QString& db_name, const QString& caller,
                           const QString& command, const QString& error, const QString& signature)
{
    log(texts.query_line + db_name, signature);
    log(texts.caller_line + caller, signature);
    log(texts.command_line + command, signature);
    log(texts.error_line + error, signature);
}

const failure_texts path_command_failure{" query  --------FAILED------ db file - ", "CALLER FUNCTION -  ",
                                         " command -  ", " error -  "};
const failure_texts path_bind_command_failure{" query  --------FAILED------ db file - ", " CALLER FUNCTION -  ",
                                              " command -  ", " error -  "};
const failure_texts reference_command_failure{" query  --------FAILED------ db file - ",
                                              " CALLER FUNCTION -  -  ", " command -  ", " error -  "};
const failure_texts reference_rows_failure{" query  --------FAILED------db file - ", " CALLER FUNCTION -  -  ",
                                           " command -  ", " error -  "};
const failure_texts path_rows_failure{"query  --------FAILED------db file - ", "CALLER FUNCTION -  ", "command -  ",
                                      "error -  "};

bool run_command(QSqlDatabase& db, const QString& command, const QStringList* values, const QString& caller,
                 const failure_texts& texts, const QString& db_name, const QString& signature)
{
    QSqlQuery query(db);
    const QSqlError prepare_error = prepare_command(query, command);
    if (values && !bind_all(query, *values))
        return false;
    if (query.exec())
        return true;
    log_execution_failure(texts, db_name, caller, command, failure_text(query, prepare_error), signature);
    return false;
}

// Reads one column of every row, trimmed; stops early (incomplete) when cancelled.
QStringList read_column(QSqlQuery& query, int column, bool* cancelled)
{
    QStringList values;
    *cancelled = false;
    while (query.next())
    {
        if (plugin_static_function::bool_cancel_extraction)
        {
            *cancelled = true;
            break;
        }
        const bool in_row = column >= 0 && column < query.record().count();
        values << (in_row ? query.value(column).toString().trimmed() : QString());
    }
    return values;
}

enum class row_outcome
{
    done,
    cancelled,
    failed
};

row_outcome read_rows(QSqlDatabase& db, const QString& command, const QStringList* values, int column,
                      const QString& caller, const failure_texts& texts, const QString& db_name,
                      const QString& signature, QStringList* rows)
{
    QSqlQuery query(db);
    const QSqlError prepare_error = prepare_command(query, command);
    if (values && !bind_all(query, *values))
        return row_outcome::cancelled;
    if (!query.exec())
    {
        log_execution_failure(texts, db_name, caller, command, failure_text(query, prepare_error), signature);
        return row_outcome::failed;
    }
    bool cancelled = false;
    *rows = read_column(query, column, &cancelled);
    return cancelled ? row_outcome::cancelled : row_outcome::done;
}

QStringList rows_by_path(const QString& command, const QStringList* values, int column, const QString& db_path,
                         const QString& caller, const QString& signature, const QString& end_line)
{
    log(" Start ", signature);
    const QString name = QString::number(QDateTime::currentMSecsSinceEpoch());
    QStringList rows;
    row_outcome outcome = row_outcome::failed;
    if (open_connection(name, db_path, caller, signature, false))
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        outcome = read_rows(db, command, values, column, caller, path_rows_failure, db_path, signature, &rows);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (outcome == row_outcome::done)
        log(end_line, signature);
    return outcome == row_outcome::failed ? QStringList() : rows;
}

QStringList rows_by_reference(const QString& command, const QStringList* values, int column, QSqlDatabase& db,
                              const QString& caller, const QString& signature)
{
    log(" Start ", signature);
    QStringList rows;
    const row_outcome outcome =
        read_rows(db, command, values, column, caller, reference_rows_failure, db.databaseName(), signature, &rows);
    if (outcome == row_outcome::done)
        log(" end ", signature);
    return outcome == row_outcome::failed ? QStringList() : rows;
}

bool command_by_path(const QString& command, const QStringList* values, const QString& db_path,
                     const QString& caller, const QString& signature, const failure_texts& texts)
{
    const QString name = signature + caller;
    if (!open_connection(name, db_path, caller, signature, true))
        return false;
    QSqlDatabase db = QSqlDatabase::database(name, false);
    const bool ok = run_command(db, command, values, caller, texts, db_path, signature);
    db.close();
    return ok;
}
} // namespace

bool plugin_static_function::execute_db_command_by_dbpath(QString command, QString db_path, QString caller)
{
    return command_by_path(command, nullptr, db_path, caller, sig_execute_by_path, path_command_failure);
}

bool plugin_static_function::execute_db_command_with_addbindvalue_by_dbpath(QString command, QStringList values,
                                                                            QString db_path, QString caller)
{
    return command_by_path(command, &values, db_path, caller, sig_execute_bind_by_path, path_bind_command_failure);
}

bool plugin_static_function::execute_db_command_by_dbreference(QString command, QSqlDatabase& db, QString caller)
{
    return run_command(db, command, nullptr, caller, reference_command_failure, db.databaseName(),
                       sig_execute_by_reference);
}

bool plugin_static_function::execute_db_command_with_addbindvalue_by_dbreference(QString command, QStringList values,
                                                                                 QSqlDatabase& db, QString caller)
{
    return run_command(db, command, &values, caller, reference_command_failure, db.databaseName(),
                       sig_execute_bind_by_reference);
}

QStringList plugin_static_function::get_stringlist_from_db_by_dbreference(QString command, int column,
                                                                          QSqlDatabase& db, QString caller)
{
    return rows_by_reference(command, nullptr, column, db, caller, sig_rows_by_reference);
}

QStringList plugin_static_function::get_stringlist_from_db_with_addbindvalues_by_dbreference(
    QString command, QStringList values, int column, QSqlDatabase& db, QString caller)
{
    return rows_by_reference(command, &values, column, db, caller, sig_rows_bind_by_reference);
}

QStringList plugin_static_function::get_stringlist_from_db_by_dbpath(QString command, int column, QString db_path,
                                                                     QString caller)
{
    return rows_by_path(command, nullptr, column, db_path, caller, sig_rows_by_path, " end ");
}

QStringList plugin_static_function::get_stringlist_from_db_with_addbindvalues_by_dbpath(QString command,
                                                                                        QStringList values,
                                                                                        int column, QString db_path,
                                                                                        QString caller)
{
    return rows_by_path(command, &values, column, db_path, caller, sig_rows_bind_by_path, " End ");
}

bool plugin_static_function::check_value_existence_in_db_by_dbreference(QString command, int column, QString value,
                                                                        QSqlDatabase db)
{
    QSqlQuery query(db);
    const QSqlError prepare_error = prepare_command(query, command);
    if (!query.exec())
    {
        log("[check_value_existence_in_db_by_dbpath] query --------FAILED------" + db.connectionName(),
            sig_value_existence);
        log("[check_value_existence_in_db_by_dbpath]command" + command, sig_value_existence);
        log("[check_value_existence_in_db_by_dbpath] error" + failure_text(query, prepare_error),
            sig_value_existence);
        return false;
    }
    bool cancelled = false;
    const QStringList rows = read_column(query, column, &cancelled);
    if (cancelled || rows.isEmpty() || bool_cancel_extraction)
        return false;
    const QString wanted = value.trimmed();
    for (const QString& row : rows)
    {
        if (bool_cancel_extraction)
            return false;
        if (row == wanted)
            return true;
    }
    return false;
}

QStringList plugin_static_function::get_total_tables_list_by_dbpath(QString db_path, QString caller)
{
    const QString name = sig_tables_by_path + caller;
    if (!open_connection(name, db_path, caller, sig_tables_by_path, true))
        return QStringList();
    QSqlDatabase db = QSqlDatabase::database(name, false);
    const QStringList tables = db.tables(QSql::Tables);
    db.close();
    return tables;
}
