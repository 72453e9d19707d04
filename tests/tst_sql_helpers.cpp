// The SQL command helpers: results, connection names, bind and cancel behaviour, and every
// failure line exactly as each helper writes it.

#include "tests/test_support.h"

#include <QSqlDriver>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

namespace
{
const QString caller = "void tester::run()";

struct logged_run
{
    QTemporaryDir dir;
    QString db_path;
    QString log;

    logged_run()
    {
        db_path = dir.path() + "/test.sqlite";
        log = dir.path() + "/debug.log";
        QSqlDatabase::removeDatabase("fixture");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "fixture");
            db.setDatabaseName(db_path);
            db.open();
            QSqlQuery(db).exec("CREATE TABLE t(v TEXT)");
            QSqlQuery(db).exec("INSERT INTO t VALUES(' a '),(NULL),('b'),('c'),('d')");
        }
        QSqlDatabase::removeDatabase("fixture");
        test_support::log_into(log);
    }
    ~logged_run()
    {
        plugin_static_function::set_cancel_extraction(false);
        plugin_static_function::close_debug_file();
    }
    QStringList lines() const { return test_support::log_texts(log); }
};

// Sets the cancel flag while SQLite computes the row it is asked for.
void cancel_at_row(sqlite3_context* context, int, sqlite3_value** values)
{
    static int row = 0;
    if (sqlite3_value_int(values[0]) == 1)
        row = 0;
    if (++row == sqlite3_value_int(values[1]))
        plugin_static_function::set_cancel_extraction(true);
    sqlite3_result_int(context, 0);
}

QSqlDatabase open_with_cancel_function(const QString& path)
{
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "reference");
    db.setDatabaseName(path);
    db.open();
    sqlite3* handle = *static_cast<sqlite3* const*>(db.driver()->handle().constData());
    sqlite3_create_function(handle, "cancel_at_row", 2, SQLITE_UTF8, nullptr, cancel_at_row, nullptr,
                            nullptr);
    return db;
}
} // namespace

class tst_sql_helpers : public QObject
{
    Q_OBJECT

  private slots:
    void commands_and_their_failure_lines_data();
    void commands_and_their_failure_lines();
    void row_readers_and_their_failure_lines_data();
    void row_readers_and_their_failure_lines();
    void cancel_while_binding();
    void cancel_while_reading_rows();
    void value_existence();
    void tables_and_connection_names();
};

void tst_sql_helpers::commands_and_their_failure_lines_data()
{
    QTest::addColumn<QString>("helper");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<bool>("missing_folder");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("line_starts");

    const QStringList path_exec = {" query  --------FAILED------ db file - DB",
                                   "CALLER FUNCTION -  " + caller, " command -  CMD", " error -  "};
    const QStringList path_open = {" Destination Db opening --------FAILED------ DB",
                                   "CALLER FUNCTION -  " + caller, " error -  "};
    const QStringList reference_exec = {" query  --------FAILED------ db file - DB",
                                        " CALLER FUNCTION -  -  " + caller, " command -  CMD", " error -  "};
    QStringList bind_exec = path_exec;
    bind_exec[1] = " CALLER FUNCTION -  " + caller;

    const QString insert = "INSERT INTO t VALUES(?)";
    QTest::newRow("by path: runs") << "path"
                                   << "DELETE FROM t" << QStringList() << false << true << QStringList();
    QTest::newRow("by path: bad SQL")
        << "path"
        << "DELETE FROM nowhere" << QStringList() << false << false << path_exec;
    QTest::newRow("by path: missing folder")
        << "path"
        << "DELETE FROM t" << QStringList() << true << false << path_open;
    QTest::newRow("bind by path: runs")
        << "bind path" << insert << QStringList{"x"} << false << true << QStringList();
    QTest::newRow("bind by path: too few values")
        << "bind path"
        << "INSERT INTO t VALUES(?), (?)" << QStringList{"x"} << false << false << bind_exec;
    QTest::newRow("bind by path: missing folder")
        << "bind path" << insert << QStringList{"x"} << true << false << path_open;
    QTest::newRow("by reference: bad SQL")
        << "reference"
        << "DELETE FROM nowhere" << QStringList() << false << false << reference_exec;
    QTest::newRow("bind by reference: too few values")
        << "bind reference"
        << "INSERT INTO t VALUES(?), (?)" << QStringList{"x"} << false << false << reference_exec;
    QTest::newRow("bind by reference: runs")
        << "bind reference" << insert << QStringList{"x"} << false << true << QStringList();
}

void tst_sql_helpers::commands_and_their_failure_lines()
{
    QFETCH(QString, helper);
    QFETCH(QString, command);
    QFETCH(QStringList, values);
    QFETCH(bool, missing_folder);
    QFETCH(bool, ok);
    QFETCH(QStringList, line_starts);
    logged_run run;
    const QString path = missing_folder ? run.dir.path() + "/missing/test.sqlite" : run.db_path;
    bool result = false;
    if (helper == "path")
        result = plugin_static_function::execute_db_command_by_dbpath(command, path, caller);
    else if (helper == "bind path")
        result = plugin_static_function::execute_db_command_with_addbindvalue_by_dbpath(command, values, path,
                                                                                        caller);
    else
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "reference");
        db.setDatabaseName(path);
        QVERIFY(db.open());
        result = helper == "reference"
                     ? plugin_static_function::execute_db_command_by_dbreference(command, db, caller)
                     : plugin_static_function::execute_db_command_with_addbindvalue_by_dbreference(
                           command, values, db, caller);
    }
    QSqlDatabase::removeDatabase("reference");
    QCOMPARE(result, ok);
    const QStringList lines = run.lines();
    QCOMPARE(lines.size(), line_starts.size());
    for (int i = 0; i < lines.size(); ++i)
    {
        const QString start = QString(line_starts.at(i)).replace("DB", path).replace("CMD", command);
        QVERIFY2(lines.at(i).startsWith(start), qPrintable(lines.at(i) + " | " + start));
        if (start.endsWith("error -  "))
            QVERIFY(lines.at(i).size() > start.size()); // the driver's own text follows
    }
}

void tst_sql_helpers::row_readers_and_their_failure_lines_data()
{
    QTest::addColumn<QString>("helper");
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("missing_folder");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("line_starts");
    const QString select = "SELECT v FROM t WHERE rowid <= ? ORDER BY rowid";
    const QStringList three = {"a", "", "b"};
    const QStringList reference_exec = {" Start ", " query  --------FAILED------db file - DB",
                                        " CALLER FUNCTION -  -  " + caller, " command -  CMD", " error -  "};
    const QStringList path_exec = {" Start ", "query  --------FAILED------db file - DB",
                                   "CALLER FUNCTION -  " + caller, "command -  CMD", "error -  "};
    const QStringList path_open = {" Start ", "Destination Db opening --------FAILED------ DB",
                                   "CALLER FUNCTION -  " + caller, "error -  "};
    QTest::newRow("reference") << "reference" << select << false << three << QStringList{" Start ", " end "};
    QTest::newRow("bind reference") << "bind reference" << select << false << three
                                    << QStringList{" Start ", " end "};
    QTest::newRow("path") << "path" << select << false << three << QStringList{" Start ", " end "};
    QTest::newRow("bind path") << "bind path" << select << false << three << QStringList{" Start ", " End "};
    QTest::newRow("reference: bad SQL")
        << "reference"
        << "SELECT v FROM nowhere WHERE ?" << false << QStringList() << reference_exec;
    QTest::newRow("path: bad SQL") << "path"
                                   << "SELECT v FROM nowhere WHERE ?" << false << QStringList() << path_exec;
    QTest::newRow("path: missing folder") << "bind path" << select << true << QStringList() << path_open;
}

void tst_sql_helpers::row_readers_and_their_failure_lines()
{
    QFETCH(QString, helper);
    QFETCH(QString, command);
    QFETCH(bool, missing_folder);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, line_starts);
    logged_run run;
    const QString path = missing_folder ? run.dir.path() + "/missing/test.sqlite" : run.db_path;
    const QStringList values{"3"};
    QStringList got;
    const QStringList before = QSqlDatabase::connectionNames();
    if (helper == "path")
        got = plugin_static_function::get_stringlist_from_db_by_dbpath(QString(command).replace("?", "3"), 0,
                                                                       path, caller);
    else if (helper == "bind path")
        got = plugin_static_function::get_stringlist_from_db_with_addbindvalues_by_dbpath(command, values, 0,
                                                                                          path, caller);
    else
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "reference");
        db.setDatabaseName(path);
        QVERIFY(db.open());
        got = helper == "reference"
                  ? plugin_static_function::get_stringlist_from_db_by_dbreference(
                        QString(command).replace("?", "3"), 0, db, caller)
                  : plugin_static_function::get_stringlist_from_db_with_addbindvalues_by_dbreference(
                        command, values, 0, db, caller);
    }
    QSqlDatabase::removeDatabase("reference");
    QCOMPARE(got, rows);
    QCOMPARE(QSqlDatabase::connectionNames(), before); // the time-named connections are gone again
    const QStringList lines = run.lines();
    QCOMPARE(lines.size(), line_starts.size());
    for (int i = 0; i < lines.size(); ++i)
    {
        const QString shown_command = helper.contains("bind") ? command : QString(command).replace("?", "3");
        const QString start = QString(line_starts.at(i)).replace("DB", path).replace("CMD", shown_command);
        QVERIFY2(lines.at(i).startsWith(start), qPrintable(lines.at(i) + " | " + start));
    }
}

void tst_sql_helpers::cancel_while_binding()
{
    logged_run run;
    plugin_static_function::set_cancel_extraction(true);
    QVERIFY(!plugin_static_function::execute_db_command_with_addbindvalue_by_dbpath(
        "INSERT INTO t VALUES(?)", {"x"}, run.db_path, caller));
    QCOMPARE(plugin_static_function::get_stringlist_from_db_with_addbindvalues_by_dbpath(
                 "SELECT v FROM t WHERE ?", {"1"}, 0, run.db_path, caller),
             QStringList());
    // No bind values: the flag is never looked at, the command runs.
    QVERIFY(plugin_static_function::execute_db_command_with_addbindvalue_by_dbpath(
        "DELETE FROM t WHERE rowid = 5", {}, run.db_path, caller));
    QCOMPARE(run.lines(), QStringList{" Start "});
}

void tst_sql_helpers::cancel_while_reading_rows()
{
    logged_run run;
    QStringList got;
    {
        QSqlDatabase db = open_with_cancel_function(run.db_path);
        got = plugin_static_function::get_stringlist_from_db_by_dbreference(
            "SELECT v, cancel_at_row(rowid, 4) FROM t ORDER BY rowid", 0, db, caller);
    }
    QSqlDatabase::removeDatabase("reference");
    QCOMPARE(got, (QStringList{"a", "", "b"}));
    QCOMPARE(run.lines(), QStringList{" Start "}); // no end line
}

void tst_sql_helpers::value_existence()
{
    logged_run run;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "reference");
        db.setDatabaseName(run.db_path);
        QVERIFY(db.open());
        QVERIFY(plugin_static_function::check_value_existence_in_db_by_dbreference("SELECT v FROM t", 0,
                                                                                   " a ", db));
        QVERIFY(!plugin_static_function::check_value_existence_in_db_by_dbreference("SELECT v FROM t", 0, "A",
                                                                                    db));
        QVERIFY(!plugin_static_function::check_value_existence_in_db_by_dbreference("SELECT v FROM t WHERE 0",
                                                                                    0, "", db));
        QVERIFY(!plugin_static_function::check_value_existence_in_db_by_dbreference("SELECT v FROM nowhere",
                                                                                    0, "a", db));
    }
    QSqlDatabase::removeDatabase("reference");
    const QStringList lines = run.lines();
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(0),
             QString("[check_value_existence_in_db_by_dbpath] query --------FAILED------reference"));
    QCOMPARE(lines.at(1), QString("[check_value_existence_in_db_by_dbpath]commandSELECT v FROM nowhere"));
    QVERIFY(lines.at(2).startsWith("[check_value_existence_in_db_by_dbpath] error"));
}

void tst_sql_helpers::tables_and_connection_names()
{
    logged_run run;
    QCOMPARE(plugin_static_function::get_total_tables_list_by_dbpath(run.db_path, caller), QStringList{"t"});
    const QString fresh = run.dir.path() + "/fresh.sqlite";
    QCOMPARE(plugin_static_function::get_total_tables_list_by_dbpath(fresh, caller), QStringList());
    QVERIFY(QFileInfo::exists(fresh));
    QVERIFY(!plugin_static_function::execute_db_command_by_dbpath("DELETE FROM t", fresh, caller));
    // Two calls from one caller reuse one connection name, left closed between calls.
    QVERIFY(
        plugin_static_function::execute_db_command_by_dbpath("DELETE FROM t WHERE 0", run.db_path, caller));
    QVERIFY(
        plugin_static_function::execute_db_command_by_dbpath("DELETE FROM t WHERE 0", run.db_path, caller));
    const QString name =
        "static bool plugin_static_function::execute_db_command_by_dbpath(QString, QString, QString)" +
        caller;
    QVERIFY(QSqlDatabase::contains(name));
    QVERIFY(!QSqlDatabase::database(name, false).isOpen());
    QCOMPARE(
        plugin_static_function::get_total_tables_list_by_dbpath(run.dir.path() + "/missing/x.sqlite", caller),
        QStringList());
}

QTEST_MAIN(tst_sql_helpers)
#include "tst_sql_helpers.moc"
