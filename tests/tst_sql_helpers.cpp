// The SQL command helpers: results, connection names, bind and cancel behaviour, trimming, and
// every failure line exactly as each helper writes it, the driver's error text included.

#include "tests/test_support.h"

#include <QSqlError>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

namespace
{
const QString caller = "void tester::run()";
const QString reference_name = "reference";

// cancel_at_row(rowid, n): sets the cancel flag while SQLite computes row n, on every connection.
void cancel_at_row(sqlite3_context* context, int, sqlite3_value** values)
{
    if (sqlite3_value_int64(values[0]) >= sqlite3_value_int64(values[1]))
        plugin_static_function::set_cancel_extraction(true);
    sqlite3_result_int(context, 0);
}

int register_cancel_at_row(sqlite3* db, char**, const sqlite3_api_routines*)
{
    return sqlite3_create_function(db, "cancel_at_row", 2, SQLITE_UTF8, nullptr, cancel_at_row, nullptr,
                                   nullptr);
}

// The error text the driver gives for opening `path` or running `command` there: what each
// failure line must carry.
QString driver_open_error(const QString& path)
{
    QString text;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "expected");
        db.setDatabaseName(path);
        if (!db.open())
            text = db.lastError().text();
    }
    QSqlDatabase::removeDatabase("expected");
    return text;
}

QString driver_exec_error(const QString& path, const QString& command, const QStringList& values)
{
    // On a copy: a command that succeeds must not change what the helper then finds.
    const QString copy = path + ".probe";
    QFile::remove(copy);
    QFile::copy(path, copy);
    QString text;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "expected");
        db.setDatabaseName(copy);
        db.open();
        QSqlQuery query(db);
        if (!query.prepare(command))
            text = query.lastError().text(); // the driver's reason, not the "No query" of running it
        for (const QString& value : values)
            query.addBindValue(value);
        if (!query.exec() && text.isEmpty())
            text = query.lastError().text();
    }
    QSqlDatabase::removeDatabase("expected");
    QFile::remove(copy);
    return text;
}

// A database with five rows in t(v): ' a ', NULL, 'b', 'c', 'd'; a view; the log switched on.
struct fixture
{
    QTemporaryDir dir;
    QString db_path;
    QString log;

    fixture()
    {
        db_path = dir.path() + "/test.sqlite";
        log = dir.path() + "/debug.log";
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "fixture");
            db.setDatabaseName(db_path);
            db.open();
            QSqlQuery(db).exec("CREATE TABLE t(v TEXT)");
            QSqlQuery(db).exec("INSERT INTO t VALUES(' a '),(NULL),('b'),('c'),('d')");
            QSqlQuery(db).exec("CREATE VIEW t_view AS SELECT v FROM t");
        }
        QSqlDatabase::removeDatabase("fixture");
        test_support::log_into(log);
    }
    ~fixture()
    {
        plugin_static_function::set_cancel_extraction(false);
        plugin_static_function::close_debug_file();
    }
    QStringList calls() const { return test_support::log_calls(log); }
    int rows_in_t() const { return int(test_support::table_rows(db_path, "t").size()); }
};

// The expected log: each template line under the helper's name, its fields filled in.
QStringList expected_calls(const QStringList& templates, const QString& function, const QString& db,
                           const QString& command, const QString& error)
{
    QStringList calls;
    for (QString line : templates)
        calls << "[plugin_static_function::" + function + "] " +
                     line.replace("{db}", db)
                         .replace("{caller}", caller)
                         .replace("{command}", command)
                         .replace("{error}", error);
    return calls;
}

const QStringList path_open = {" Destination Db opening --------FAILED------ {db}",
                               "CALLER FUNCTION -  {caller}", " error -  {error}"};
const QStringList path_exec = {" query  --------FAILED------ db file - {db}", "CALLER FUNCTION -  {caller}",
                               " command -  {command}", " error -  {error}"};
const QStringList bind_path_exec = {" query  --------FAILED------ db file - {db}",
                                    " CALLER FUNCTION -  {caller}", " command -  {command}",
                                    " error -  {error}"};
const QStringList reference_exec = {" query  --------FAILED------ db file - {db}",
                                    " CALLER FUNCTION -  -  {caller}", " command -  {command}",
                                    " error -  {error}"};
const QStringList reference_rows_exec = {" Start ", " query  --------FAILED------db file - {db}",
                                         " CALLER FUNCTION -  -  {caller}", " command -  {command}",
                                         " error -  {error}"};
const QStringList path_rows_exec = {" Start ", "query  --------FAILED------db file - {db}",
                                    "CALLER FUNCTION -  {caller}", "command -  {command}",
                                    "error -  {error}"};
const QStringList path_rows_open = {" Start ", "Destination Db opening --------FAILED------ {db}",
                                    "CALLER FUNCTION -  {caller}", "error -  {error}"};

QString function_of(const QString& helper)
{
    static const QMap<QString, QString> names{
        {"path", "execute_db_command_by_dbpath"},
        {"bind path", "execute_db_command_with_addbindvalue_by_dbpath"},
        {"reference", "execute_db_command_by_dbreference"},
        {"bind reference", "execute_db_command_with_addbindvalue_by_dbreference"},
        {"rows reference", "get_stringlist_from_db_by_dbreference"},
        {"rows bind reference", "get_stringlist_from_db_with_addbindvalues_by_dbreference"},
        {"rows path", "get_stringlist_from_db_by_dbpath"},
        {"rows bind path", "get_stringlist_from_db_with_addbindvalues_by_dbpath"}};
    return names.value(helper);
}
} // namespace

class tst_sql_helpers : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();

    void commands_data();
    void commands();
    void row_readers_data();
    void row_readers();
    void value_existence_data();
    void value_existence();
    void value_existence_failure_lines();
    void tables_of_a_database();
    void tables_of_a_missing_folder();
    void signature_named_connections_are_reused();
};

void tst_sql_helpers::initTestCase()
{
    QCOMPARE(sqlite3_auto_extension(reinterpret_cast<void (*)(void)>(register_cancel_at_row)), SQLITE_OK);
}

void tst_sql_helpers::commands_data()
{
    QTest::addColumn<QString>("helper");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<bool>("missing_folder");
    QTest::addColumn<bool>("cancelled");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("lines");

    const QString insert = "INSERT INTO t VALUES('x')";
    const QString bound = "INSERT INTO t VALUES(?)";
    const QString two_places = "INSERT INTO t VALUES(?), (?)";
    const QString bad = "INSERT INTO nowhere VALUES(1)";
    const QStringList none;
    QTest::newRow("path: runs") << "path" << insert << none << false << false << true << none;
    QTest::newRow("path: fails to run") << "path" << bad << none << false << false << false << path_exec;
    QTest::newRow("path: missing folder") << "path" << insert << none << true << false << false << path_open;

    QTest::newRow("bind path: runs") << "bind path" << bound << QStringList{"x"} << false << false << true
                                     << none;
    QTest::newRow("bind path: too few values")
        << "bind path" << two_places << QStringList{"x"} << false << false << false << bind_path_exec;
    QTest::newRow("bind path: fails to run")
        << "bind path"
        << "INSERT INTO nowhere VALUES(?)" << QStringList{"x"} << false << false << false << bind_path_exec;
    QTest::newRow("bind path: missing folder")
        << "bind path" << bound << QStringList{"x"} << true << false << false << path_open;
    QTest::newRow("bind path: cancel while binding")
        << "bind path" << bound << QStringList{"x"} << false << true << false << none;
    QTest::newRow("bind path: no values, cancel not looked at")
        << "bind path" << insert << none << false << true << true << none;

    QTest::newRow("reference: runs") << "reference" << insert << none << false << false << true << none;
    QTest::newRow("reference: fails to run")
        << "reference" << bad << none << false << false << false << reference_exec;
    QTest::newRow("reference: cancel not looked at")
        << "reference" << insert << none << false << true << true << none;

    QTest::newRow("bind reference: runs")
        << "bind reference" << bound << QStringList{"x"} << false << false << true << none;
    QTest::newRow("bind reference: too few values")
        << "bind reference" << two_places << QStringList{"x"} << false << false << false << reference_exec;
    QTest::newRow("bind reference: cancel while binding")
        << "bind reference" << two_places << QStringList{"x", "y"} << false << true << false << none;
    QTest::newRow("bind reference: no values, cancel not looked at")
        << "bind reference" << insert << none << false << true << true << none;
}

void tst_sql_helpers::commands()
{
    QFETCH(QString, helper);
    QFETCH(QString, command);
    QFETCH(QStringList, values);
    QFETCH(bool, missing_folder);
    QFETCH(bool, cancelled);
    QFETCH(bool, ok);
    QFETCH(QStringList, lines);
    fixture run;
    const QString path = missing_folder ? run.dir.path() + "/missing/test.sqlite" : run.db_path;
    const QString error = missing_folder ? driver_open_error(path) : driver_exec_error(path, command, values);
    plugin_static_function::set_cancel_extraction(cancelled);
    bool result = false;
    if (helper == "path")
        result = plugin_static_function::execute_db_command_by_dbpath(command, path, caller);
    else if (helper == "bind path")
        result = plugin_static_function::execute_db_command_with_addbindvalue_by_dbpath(command, values, path,
                                                                                        caller);
    else
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", reference_name);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        result = helper == "reference"
                     ? plugin_static_function::execute_db_command_by_dbreference(command, db, caller)
                     : plugin_static_function::execute_db_command_with_addbindvalue_by_dbreference(
                           command, values, db, caller);
        QVERIFY(db.isOpen()); // the caller's connection stays the caller's
    }
    QSqlDatabase::removeDatabase(reference_name);
    plugin_static_function::set_cancel_extraction(false);

    QCOMPARE(result, ok);
    QCOMPARE(run.calls(), expected_calls(lines, function_of(helper), path, command, error));
    if (command.contains("nowhere"))
        QVERIFY2(error.startsWith("no such table: nowhere"), qPrintable(error));
    if (!missing_folder)
        QCOMPARE(run.rows_in_t(), ok ? 6 : 5);
}

void tst_sql_helpers::row_readers_data()
{
    QTest::addColumn<QString>("helper");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("missing_folder");
    QTest::addColumn<bool>("cancelled");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("lines");

    const QString all = "SELECT v FROM t ORDER BY rowid";
    const QString bound = "SELECT v FROM t WHERE rowid >= ? ORDER BY rowid";
    const QString two_places = "SELECT v FROM t WHERE rowid >= ? AND rowid <= ? ORDER BY rowid";
    const QString cancelling = "SELECT v, cancel_at_row(rowid, 4) FROM t ORDER BY rowid";
    const QString cancelling_bound =
        "SELECT v, cancel_at_row(rowid, 4) FROM t WHERE rowid >= ? ORDER BY rowid";
    const QString bad = "SELECT v FROM nowhere";
    const QStringList five{"a", "", "b", "c", "d"}; // trimmed, NULL as empty
    const QStringList three{"a", "", "b"};
    const QStringList blank5{"", "", "", "", ""};
    const QStringList none;
    const QStringList start{" Start "};
    const QStringList one{"1"};

    QTest::newRow("reference: all rows")
        << "rows reference" << all << none << 0 << false << false << five << QStringList{" Start ", " end "};
    QTest::newRow("reference: column outside the row") << "rows reference" << all << none << 3 << false
                                                       << false << blank5 << QStringList{" Start ", " end "};
    QTest::newRow("reference: fails to run")
        << "rows reference" << bad << none << 0 << false << false << none << reference_rows_exec;
    QTest::newRow("reference: cancelled before the first row")
        << "rows reference" << all << none << 0 << false << true << none << start;
    QTest::newRow("reference: cancelled at row 4")
        << "rows reference" << cancelling << none << 0 << false << false << three << start;

    QTest::newRow("bind reference: all rows") << "rows bind reference" << bound << one << 0 << false << false
                                              << five << QStringList{" Start ", " end "};
    QTest::newRow("bind reference: too few values")
        << "rows bind reference" << two_places << one << 0 << false << false << none << reference_rows_exec;
    QTest::newRow("bind reference: cancel while binding")
        << "rows bind reference" << bound << one << 0 << false << true << none << start;
    QTest::newRow("bind reference: cancelled at row 4")
        << "rows bind reference" << cancelling_bound << one << 0 << false << false << three << start;

    QTest::newRow("path: all rows") << "rows path" << all << none << 0 << false << false << five
                                    << QStringList{" Start ", " end "};
    QTest::newRow("path: negative column")
        << "rows path" << all << none << -1 << false << false << blank5 << QStringList{" Start ", " end "};
    QTest::newRow("path: fails to run")
        << "rows path" << bad << none << 0 << false << false << none << path_rows_exec;
    QTest::newRow("path: missing folder")
        << "rows path" << all << none << 0 << true << false << none << path_rows_open;
    QTest::newRow("path: cancelled at row 4")
        << "rows path" << cancelling << none << 0 << false << false << three << start;

    QTest::newRow("bind path: all rows")
        << "rows bind path" << bound << one << 0 << false << false << five << QStringList{" Start ", " End "};
    QTest::newRow("bind path: too few values")
        << "rows bind path" << two_places << one << 0 << false << false << none << path_rows_exec;
    QTest::newRow("bind path: missing folder")
        << "rows bind path" << bound << one << 0 << true << false << none << path_rows_open;
    QTest::newRow("bind path: cancel while binding")
        << "rows bind path" << bound << one << 0 << false << true << none << start;
    QTest::newRow("bind path: cancelled at row 4")
        << "rows bind path" << cancelling_bound << one << 0 << false << false << three << start;
}

void tst_sql_helpers::row_readers()
{
    QFETCH(QString, helper);
    QFETCH(QString, command);
    QFETCH(QStringList, values);
    QFETCH(int, column);
    QFETCH(bool, missing_folder);
    QFETCH(bool, cancelled);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, lines);
    fixture run;
    const QString path = missing_folder ? run.dir.path() + "/missing/test.sqlite" : run.db_path;
    const QString error = missing_folder ? driver_open_error(path) : driver_exec_error(path, command, values);
    plugin_static_function::set_cancel_extraction(false);
    const QStringList connections_before = QSqlDatabase::connectionNames();
    plugin_static_function::set_cancel_extraction(cancelled);
    QStringList got;
    if (helper == "rows path")
        got = plugin_static_function::get_stringlist_from_db_by_dbpath(command, column, path, caller);
    else if (helper == "rows bind path")
        got = plugin_static_function::get_stringlist_from_db_with_addbindvalues_by_dbpath(
            command, values, column, path, caller);
    else
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", reference_name);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        got = helper == "rows reference"
                  ? plugin_static_function::get_stringlist_from_db_by_dbreference(command, column, db, caller)
                  : plugin_static_function::get_stringlist_from_db_with_addbindvalues_by_dbreference(
                        command, values, column, db, caller);
        QVERIFY(db.isOpen());
    }
    QSqlDatabase::removeDatabase(reference_name);
    plugin_static_function::set_cancel_extraction(false);

    QCOMPARE(got, rows);
    QCOMPARE(run.calls(), expected_calls(lines, function_of(helper), path, command, error));
    // The time-named connections are closed and gone again, whatever happened.
    QCOMPARE(QSqlDatabase::connectionNames(), connections_before);
}

void tst_sql_helpers::value_existence_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("cancelled");
    QTest::addColumn<bool>("exists");
    const QString all = "SELECT v FROM t ORDER BY rowid";
    QTest::newRow("padded row, plain value") << all << "a" << false << true;
    QTest::newRow("padded value, plain row") << all << " b " << false << true;
    QTest::newRow("last row") << all << "d" << false << true;
    QTest::newRow("case-sensitive") << all << "A" << false << false;
    QTest::newRow("absent") << all << "zz" << false << false;
    QTest::newRow("no rows") << "SELECT v FROM t WHERE 0"
                             << "a" << false << false;
    QTest::newRow("cancelled before") << all << "a" << true << false;
    QTest::newRow("cancelled at row 4") << "SELECT v, cancel_at_row(rowid, 4) FROM t ORDER BY rowid"
                                        << "d" << false << false;
    QTest::newRow("cancelled after the match") << "SELECT v, cancel_at_row(rowid, 4) FROM t ORDER BY rowid"
                                               << "a" << false << false;
}

void tst_sql_helpers::value_existence()
{
    QFETCH(QString, command);
    QFETCH(QString, value);
    QFETCH(bool, cancelled);
    QFETCH(bool, exists);
    fixture run;
    bool got = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", reference_name);
        db.setDatabaseName(run.db_path);
        QVERIFY(db.open());
        plugin_static_function::set_cancel_extraction(cancelled);
        got = plugin_static_function::check_value_existence_in_db_by_dbreference(command, 0, value, db);
        plugin_static_function::set_cancel_extraction(false);
    }
    QSqlDatabase::removeDatabase(reference_name);
    QCOMPARE(got, exists);
    QCOMPARE(run.calls(), QStringList());
}

void tst_sql_helpers::value_existence_failure_lines()
{
    fixture run;
    const QString command = "SELECT v FROM nowhere";
    const QString error = driver_exec_error(run.db_path, command, {});
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", reference_name);
        db.setDatabaseName(run.db_path);
        QVERIFY(db.open());
        QVERIFY(!plugin_static_function::check_value_existence_in_db_by_dbreference(command, 0, "a", db));
    }
    QSqlDatabase::removeDatabase(reference_name);
    QCOMPARE(
        run.calls(),
        expected_calls({"[check_value_existence_in_db_by_dbpath] query --------FAILED------" + reference_name,
                        "[check_value_existence_in_db_by_dbpath]command{command}",
                        "[check_value_existence_in_db_by_dbpath] error{error}"},
                       "check_value_existence_in_db_by_dbreference", run.db_path, command, error));
}

void tst_sql_helpers::tables_of_a_database()
{
    fixture run;
    QCOMPARE(plugin_static_function::get_total_tables_list_by_dbpath(run.db_path, caller),
             QStringList{"t"}); // not the view, not sqlite_master

    // A new file in an existing folder: SQLite creates it empty, and a command on it fails.
    const QString fresh = run.dir.path() + "/fresh.sqlite";
    QCOMPARE(plugin_static_function::get_total_tables_list_by_dbpath(fresh, caller), QStringList());
    QVERIFY(QFileInfo::exists(fresh));
    QCOMPARE(run.calls(), QStringList());
    QVERIFY(!plugin_static_function::execute_db_command_by_dbpath("DELETE FROM t", fresh, caller));
    QCOMPARE(run.calls().size(), 4);
}

void tst_sql_helpers::tables_of_a_missing_folder()
{
    fixture run;
    const QString path = run.dir.path() + "/missing/x.sqlite";
    QCOMPARE(plugin_static_function::get_total_tables_list_by_dbpath(path, caller), QStringList());
    QCOMPARE(run.calls(), expected_calls(path_open, "get_total_tables_list_by_dbpath", path, QString(),
                                         driver_open_error(path)));
    QVERIFY(!QFileInfo::exists(run.dir.path() + "/missing"));
}

namespace
{
QStringList warnings;
void capture_warning(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtWarningMsg || type == QtCriticalMsg)
        warnings << text;
}
} // namespace

void tst_sql_helpers::signature_named_connections_are_reused()
{
    fixture run;
    const QString command_name =
        "static bool plugin_static_function::execute_db_command_by_dbpath(QString, QString, QString)" +
        caller;
    const QString bind_name =
        "static bool plugin_static_function::execute_db_command_with_addbindvalue_by_dbpath("
        "QString, QStringList, QString, QString)" +
        caller;
    const QString tables_name =
        "static QStringList plugin_static_function::get_total_tables_list_by_dbpath(QString, QString)" +
        caller;
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(capture_warning);
    for (int i = 0; i < 2; ++i)
    {
        QVERIFY(plugin_static_function::execute_db_command_by_dbpath("DELETE FROM t WHERE 0", run.db_path,
                                                                     caller));
        QVERIFY(plugin_static_function::execute_db_command_with_addbindvalue_by_dbpath(
            "DELETE FROM t WHERE v = ?", {"zz"}, run.db_path, caller));
        QCOMPARE(plugin_static_function::get_total_tables_list_by_dbpath(run.db_path, caller),
                 QStringList{"t"});
    }
    qInstallMessageHandler(previous);
    QCOMPARE(warnings, QStringList()); // no connection was removed while still in use
    for (const QString& name : {command_name, bind_name, tables_name})
    {
        QVERIFY2(QSqlDatabase::contains(name), qPrintable(name));
        QVERIFY(!QSqlDatabase::database(name, false).isOpen()); // left registered, closed
    }
    // Another caller gets a connection of its own.
    QVERIFY(
        plugin_static_function::execute_db_command_by_dbpath("DELETE FROM t WHERE 0", run.db_path, "other"));
    QVERIFY(QSqlDatabase::contains(
        "static bool plugin_static_function::execute_db_command_by_dbpath(QString, QString, QString)other"));
}

QTEST_MAIN(tst_sql_helpers)
#include "tst_sql_helpers.moc"
