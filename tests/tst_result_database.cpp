// The result database: its paths, its exact schema, idempotent creation and the clear by
// engine type and table list.

#include "plugin/result_schema.h"
#include "tests/extraction_fixture.h"

#include <QSqlError>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
const char* const calendar_events_sql =
    "CREATE TABLE calendar_events(INT INTEGER PRIMARY KEY,bookmark  INTEGER,system_user  "
    "VARCHAR(1024),domain_user  "
    "VARCHAR(1024),takeout_email_id  VARCHAR(1024),title  VARCHAR(1024),event_start_date  "
    "VARCHAR(1024),location  "
    "VARCHAR(1024),event_notes  VARCHAR(1024),url  VARCHAR(1024),alert  VARCHAR(1024),event_end_date  "
    "VARCHAR(1024),event_creation_date  INTEGER,event_update_date  INTEGER,event_last_modified "
    "INTEGER,alarm_uid  "
    "VARCHAR(1024),event_uid  VARCHAR(1024),repeat_detail  VARCHAR(1024),end_repeat_on_date  "
    "INTEGER,alert_on_date  "
    "INTEGER,sound  VARCHAR(1024),alarm_action  VARCHAR(1024),previous_pro_id  VARCHAR(1024),timezone  "
    "VARCHAR(1024),ics_file_path  VARCHAR(1024),status VARCHAR(1024),attachment_detail "
    "VARCHAR(1024),conference_added "
    "VARCHAR(1024),calendar_name  VARCHAR(1024),account_name  VARCHAR(1024),LINKFILENAME "
    "VARCHAR(1024),preview_file_path "
    "varchar(1024),export_file_paths varchar(1024),bookmarked_extended_attributes "
    "VARCHAR,bookmarked_exif_data  "
    "VARCHAR(1024),extended_attributes_key_value  VARCHAR(1024),extended_attributes_value_for_search  "
    "VARCHAR(1024),vorix_tag_value VARCHAR(1024),notes_icon VARCHAR(1024),tags_icon "
    "VARCHAR(1024),os_scheme_display  "
    "VARCHAR(1024),source_count_name  VARCHAR(1024),source_file  "
    "VARCHAR(1024),artifacts_relation_source_file "
    "VARCHAR(1024),notes  VARCHAR(1024))";
const char* const exportfilelist_sql =
    "CREATE TABLE exportfilelist(INT INTEGER PRIMARY KEY,record VARCHAR(150),table_name "
    "VARCHAR(100),filepath "
    "VARCHAR(100),exp_newpath VARCHAR(100),exp_relativepath VARCHAR(100),exp_size INTEGER,exp_hashmd5 "
    "VARCHAR(100),exp_hashsha1 VARCHAR(100),exp_LINKFILENAME varchar(500),exp_time INTEGER)";

QString schema_of(const QString& db, const QString& table)
{
    for (const QVariantMap& row : test_support::table_rows(db, "sqlite_master"))
    {
        if (row.value("name").toString() == table)
            return row.value("sql").toString();
    }
    return QString();
}

int count_rows(const QString& db, const QString& table)
{
    return int(test_support::table_rows(db, table).size());
}

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

bool run_sql(const QString& db, const QString& command)
{
    return plugin_static_function::execute_db_command_by_dbpath(command, db, "test");
}

// A plug-in object with its result directory laid out and its tables created.
struct prepared_plugin
{
    google_calendar plugin;
    QString db;

    prepared_plugin(const QString& result_dir, int engine, const QStringList& tables)
    {
        plugin.pub_set_essentials();
        plugin.pub_set_engine_type(engine);
        plugin.pub_set_essential_for_vorix_desk_extraction(tables, {});
        plugin.pub_set_result_directory(result_dir);
        plugin.pub_create_db_tables();
        db = extraction_fixture::database_of(result_dir);
    }
};
} // namespace

class tst_result_database : public QObject
{
    Q_OBJECT

  private slots:
    void paths_with_and_without_final_slash();
    void schema_is_exact_and_creation_idempotent();
    void clear_by_engine_and_tables_data();
    void clear_by_engine_and_tables();
    void clear_before_create_only_logs();
    void clear_false_does_nothing();
    void failed_open_logs_three_lines();
    void creation_and_location_log_lines();
    void failed_table_statement_goes_on();
    void failed_commit_is_logged();
    void clear_runs_each_name_as_one_identifier_data();
    void clear_runs_each_name_as_one_identifier();
    void failed_clear_logs_the_quoted_command();
    void clear_ignores_the_cancel_flags();
};

void tst_result_database::paths_with_and_without_final_slash()
{
    QTemporaryDir a;
    QTemporaryDir b;
    google_calendar plugin;
    plugin.pub_set_result_directory(a.path());
    plugin.pub_set_result_directory(b.path() + "/");
    for (const QString& dir : {a.path(), b.path()})
    {
        QVERIFY(QFileInfo(dir + "/Artifacts_Result/Google_Calendar/tmp").isDir());
        QVERIFY(!QFileInfo::exists(dir + "/Artifacts_Result/Google_Calendar/Google_Calendar.sqlite"));
    }
}

void tst_result_database::schema_is_exact_and_creation_idempotent()
{
    QTemporaryDir result;
    prepared_plugin prepared(result.path(), 0, {"calendar_events"});
    QCOMPARE(schema_of(prepared.db, "calendar_events"), QString(calendar_events_sql));
    QCOMPARE(schema_of(prepared.db, "exportfilelist"), QString(exportfilelist_sql));

    QVERIFY(run_sql(prepared.db, "INSERT INTO calendar_events(title) VALUES('kept')"));
    prepared.plugin.pub_create_db_tables();
    QCOMPARE(count_rows(prepared.db, "calendar_events"), 1);
    QCOMPARE(count_rows(prepared.db, "sqlite_master"), int(result_schema::tables().size()));
    for (const result_table& companion : result_schema::companion_tables())
        QCOMPARE(schema_of(prepared.db, companion.name),
                 QString(companion.create_statement).replace("IF NOT EXISTS ", ""));
}

void tst_result_database::clear_by_engine_and_tables_data()
{
    QTest::addColumn<int>("engine");
    QTest::addColumn<QStringList>("tables");
    QTest::addColumn<int>("rows_left");
    QTest::addColumn<int>("log_lines");
    QTest::newRow("desktop, listed") << 0 << QStringList{"calendar_events"} << 0 << 0;
    QTest::newRow("field edition") << 1 << QStringList{"calendar_events"} << 1 << 0;
    QTest::newRow("relay edition") << 2 << QStringList{"calendar_events"} << 1 << 0;
    QTest::newRow("engine unset") << -1 << QStringList{"calendar_events"} << 1 << 0;
    QTest::newRow("desktop, empty list") << 0 << QStringList{} << 1 << 0;
    QTest::newRow("desktop, other table") << 0 << QStringList{"exportfilelist"} << 1 << 0;
    QTest::newRow("missing table first") << 0 << QStringList{"no_such_table", "calendar_events"} << 0 << 4;
}

void tst_result_database::clear_by_engine_and_tables()
{
    QFETCH(int, engine);
    QFETCH(QStringList, tables);
    QFETCH(int, rows_left);
    QFETCH(int, log_lines);
    QTemporaryDir result;
    prepared_plugin prepared(result.path(), engine, tables);
    QVERIFY(run_sql(prepared.db, "INSERT INTO calendar_events(title) VALUES('old')"));
    const QString log = result.path() + "/debug.log";
    test_support::log_into(log, engine);
    for (const result_table& companion : result_schema::companion_tables())
        QVERIFY(run_sql(prepared.db, "INSERT INTO " + companion.name + "(" + companion.columns.first().name +
                                         ") VALUES('old')"));
    prepared.plugin.pub_set_clear_db(true);
    QCOMPARE(count_rows(prepared.db, "calendar_events"), rows_left);
    // Companion rows go and stay with the events they are tied to.
    for (const result_table& companion : result_schema::companion_tables())
        QCOMPARE(count_rows(prepared.db, companion.name), rows_left);
    QCOMPARE(int(test_support::log_calls(log).size()), log_lines);
    plugin_static_function::close_debug_file();
}

void tst_result_database::clear_before_create_only_logs()
{
    QTemporaryDir result;
    const QString log = result.path() + "/debug.log";
    google_calendar plugin;
    plugin.pub_set_essentials();
    test_support::log_into(log);
    plugin.pub_set_engine_type(0);
    plugin.pub_set_essential_for_vorix_desk_extraction({"calendar_events"}, {});
    plugin.pub_set_result_directory(result.path());
    const int before = int(test_support::log_texts(log).size());
    plugin.pub_set_clear_db(true);
    QCOMPARE(test_support::log_texts(log).mid(before),
             QStringList{"[clear_db_tables]DB not exists and so returning..."});
    QVERIFY(!QFileInfo::exists(extraction_fixture::database_of(result.path())));
}

void tst_result_database::clear_false_does_nothing()
{
    QTemporaryDir result;
    const QString log = result.path() + "/debug.log";
    prepared_plugin prepared(result.path(), 0, {"calendar_events"});
    test_support::log_into(log);
    QVERIFY(run_sql(prepared.db, "INSERT INTO calendar_events(title) VALUES('kept')"));
    const int before = int(test_support::log_texts(log).size());
    prepared.plugin.pub_set_clear_db(false);
    QCOMPARE(count_rows(prepared.db, "calendar_events"), 1);
    QCOMPARE(int(test_support::log_texts(log).size()), before);
}

void tst_result_database::failed_open_logs_three_lines()
{
    QTemporaryDir result;
    const QString log = result.path() + "/debug.log";
    google_calendar plugin;
    plugin.pub_set_essentials();
    test_support::log_into(log);
    plugin.pub_set_engine_type(0);
    plugin.pub_set_result_directory(result.path());
    // A folder where the database file should be cannot be opened as a database.
    QVERIFY(QDir().mkpath(extraction_fixture::database_of(result.path())));
    const qsizetype before = test_support::log_calls(log).size();
    plugin.pub_create_db_tables();
    const QString db = extraction_fixture::database_of(result.path());
    const QString fn = "[google_calendar::create_db_tables] ";
    QCOMPARE(
        test_support::log_calls(log).mid(before),
        (QStringList{"[google_calendar::create_destination_database] [create_destination_database] starts",
                     fn + "[create_db_tables] Starts",
                     fn + "[create_db_tables]Destination Db opening  for table creation------FAILED--------",
                     fn + driver_open_error(db), fn + db,
                     "[google_calendar::create_destination_database] [create_destination_database] ends"}));
}

void tst_result_database::creation_and_location_log_lines()
{
    QTemporaryDir result;
    const QString log = result.path() + "/debug.log";
    google_calendar plugin;
    plugin.pub_set_essentials();
    test_support::log_into(log);
    plugin.pub_set_engine_type(0);
    plugin.pub_set_result_directory(result.path() + "/case");
    plugin.pub_create_db_tables();
    const QString location = "[google_calendar::set_destination_location] ";
    const QString create = "[google_calendar::create_db_tables] ";
    QCOMPARE(test_support::log_calls(log),
             (QStringList{
                 location + "[set_destination_location] starts", location + "[set_destination_location] ends",
                 "[google_calendar::create_destination_database] [create_destination_database] starts",
                 create + "[create_db_tables] Starts", create + "[create_db_tables] Ends",
                 "[google_calendar::create_destination_database] [create_destination_database] ends"}));
    QVERIFY(
        QFileInfo::exists(result.path() + "/case/Artifacts_Result/Google_Calendar/Google_Calendar.sqlite"));
    QVERIFY(!QSqlDatabase::database("void google_calendar::create_db_tables()", false).isOpen());
}

void tst_result_database::failed_table_statement_goes_on()
{
    QTemporaryDir result;
    const QString log = result.path() + "/debug.log";
    google_calendar plugin;
    plugin.pub_set_essentials();
    test_support::log_into(log);
    plugin.pub_set_engine_type(0);
    plugin.pub_set_result_directory(result.path());
    const QString db = extraction_fixture::database_of(result.path());
    // An index already holds the name: the calendar_events statement cannot run.
    QVERIFY(run_sql(db, "CREATE TABLE other(v)"));
    QVERIFY(run_sql(db, "CREATE INDEX calendar_events ON other(v)"));
    const qsizetype before = test_support::log_calls(log).size();
    plugin.pub_create_db_tables();

    const QStringList calls = test_support::log_calls(log).mid(before);
    const QString helper = "[plugin_static_function::execute_db_command_by_dbreference] ";
    const QString create = "[google_calendar::create_db_tables] ";
    const int at = int(calls.indexOf(helper + " query  --------FAILED------ db file - " + db));
    QVERIFY2(at > 0, qPrintable(calls.join('\n')));
    QCOMPARE(calls.at(at + 1), helper + " CALLER FUNCTION -  -  void google_calendar::create_db_tables()");
    QVERIFY(calls.at(at + 2).startsWith(helper + " command -  CREATE TABLE IF NOT EXISTS calendar_events("));
    QVERIFY2(
        calls.at(at + 3).startsWith(helper + " error -  there is already an index named calendar_events"),
        qPrintable(calls.at(at + 3)));
    QCOMPARE(calls.mid(at + 4), (QStringList{create + " table creation -----FAILED---- calendar_events",
                                             create + "[create_db_tables] Ends",
                                             "[google_calendar::create_destination_database] "
                                             "[create_destination_database] ends"}));
    QCOMPARE(schema_of(db, "exportfilelist"), QString(exportfilelist_sql)); // the other statement still ran
}

void tst_result_database::failed_commit_is_logged()
{
    QTemporaryDir result;
    const QString log = result.path() + "/debug.log";
    google_calendar plugin;
    plugin.pub_set_essentials();
    test_support::log_into(log);
    plugin.pub_set_engine_type(0);
    plugin.pub_set_result_directory(result.path());
    const QString db = extraction_fixture::database_of(result.path());
    QVERIFY(run_sql(db, "CREATE TABLE other(v)"));

    // A reader in the middle of a transaction keeps its shared lock: the writer's commit cannot
    // take the exclusive lock it needs and fails once the driver's busy timeout runs out.
    const qsizetype before = test_support::log_calls(log).size();
    {
        QSqlDatabase reader = QSqlDatabase::addDatabase("QSQLITE", "reader");
        reader.setDatabaseName(db);
        QVERIFY(reader.open());
        QVERIFY(reader.transaction());
        QSqlQuery read(reader);
        QVERIFY(read.exec("SELECT count(*) FROM other"));
        QVERIFY(read.next());
        plugin.pub_create_db_tables();
        read.finish();
        reader.rollback();
    }
    QSqlDatabase::removeDatabase("reader");

    const QStringList calls = test_support::log_calls(log).mid(before);
    const QString create = "[google_calendar::create_db_tables] ";
    const QString failed = create + "[create_db_tables] commit --------FAILED-------- ";
    const QStringList commit_lines = calls.filter(failed);
    QCOMPARE(commit_lines.size(), 1);
    QVERIFY2(commit_lines.first().size() > failed.size(), "the driver's error text follows");
    QCOMPARE(
        calls.mid(calls.indexOf(commit_lines.first()) + 1),
        (QStringList{create + "[create_db_tables] Ends",
                     "[google_calendar::create_destination_database] [create_destination_database] ends"}));
    QCOMPARE(schema_of(db, "calendar_events"), QString()); // nothing was committed, and the log says so
}

void tst_result_database::clear_runs_each_name_as_one_identifier_data()
{
    QTest::addColumn<QString>("table");
    // Names the host's list may hold; the test creates each as a real table with one row.
    QTest::newRow("quote inside") << "it's";
    QTest::newRow("double quote inside") << "odd\"name";
    QTest::newRow("semicolon inside") << "a;b";
    // Between plain single quotes this one would empty calendar_events.
    QTest::newRow("ends the quote early") << "calendar_events' --";
    QTest::newRow("tries a second statement") << "x'; DROP TABLE calendar_events; --";
}

void tst_result_database::clear_runs_each_name_as_one_identifier()
{
    QFETCH(QString, table);
    QTemporaryDir result;
    prepared_plugin prepared(result.path(), 0, {table});
    const QString quoted = "\"" + QString(table).replace("\"", "\"\"") + "\"";
    QVERIFY(run_sql(prepared.db, "CREATE TABLE " + quoted + "(v)"));
    QVERIFY(run_sql(prepared.db, "INSERT INTO " + quoted + " VALUES(1)"));
    QVERIFY(run_sql(prepared.db, "INSERT INTO calendar_events(title) VALUES('kept')"));
    prepared.plugin.pub_set_clear_db(true);
    QCOMPARE(count_rows(prepared.db, quoted), 0);
    QCOMPARE(count_rows(prepared.db, "calendar_events"), 1); // nothing but the named table
    QCOMPARE(count_rows(prepared.db, "exportfilelist"), 0);
    QVERIFY(!schema_of(prepared.db, "exportfilelist").isEmpty());
}

void tst_result_database::failed_clear_logs_the_quoted_command()
{
    QTemporaryDir result;
    const QString log = result.path() + "/debug.log";
    prepared_plugin prepared(result.path(), 0, {"no_such'table", "calendar_events"});
    QVERIFY(run_sql(prepared.db, "INSERT INTO calendar_events(title) VALUES('old')"));
    test_support::log_into(log);
    prepared.plugin.pub_set_clear_db(true);
    const QString helper = "[plugin_static_function::execute_db_command_by_dbpath] ";
    const QStringList calls = test_support::log_calls(log);
    QCOMPARE(calls.size(), 4);
    QCOMPARE(calls.mid(0, 3),
             (QStringList{helper + " query  --------FAILED------ db file - " + prepared.db,
                          helper + "CALLER FUNCTION -  void google_calendar::clear_db_tables()",
                          helper + " command -  delete from \"no_such'table\""}));
    QVERIFY(calls.at(3).startsWith(helper + " error -  no such table: no_such'table"));
    QCOMPARE(count_rows(prepared.db, "calendar_events"), 0); // the loop went on
}

void tst_result_database::clear_ignores_the_cancel_flags()
{
    QTemporaryDir result;
    prepared_plugin prepared(result.path(), 0, {"calendar_events"});
    QVERIFY(run_sql(prepared.db, "INSERT INTO calendar_events(title) VALUES('old')"));
    prepared.plugin.pub_cancel_extraction();
    prepared.plugin.pub_set_clear_db(true);
    plugin_static_function::set_cancel_extraction(false);
    QCOMPARE(count_rows(prepared.db, "calendar_events"), 0);
}

QTEST_MAIN(tst_result_database)
#include "tst_result_database.moc"
