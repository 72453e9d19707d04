// The result database: its paths, its exact schema, idempotent creation and the clear by
// engine type and table list.

#include "tests/extraction_fixture.h"

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
    void clear_quotes_table_names();
    void clear_before_create_only_logs();
    void clear_false_does_nothing();
    void failed_open_logs_three_lines();
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
    QCOMPARE(count_rows(prepared.db, "sqlite_master"), 2);
}

void tst_result_database::clear_by_engine_and_tables_data()
{
    QTest::addColumn<int>("engine");
    QTest::addColumn<QStringList>("tables");
    QTest::addColumn<int>("rows_left");
    QTest::newRow("desktop, listed") << 0 << QStringList{"calendar_events"} << 0;
    QTest::newRow("field edition") << 1 << QStringList{"calendar_events"} << 1;
    QTest::newRow("relay edition") << 2 << QStringList{"calendar_events"} << 1;
    QTest::newRow("desktop, empty list") << 0 << QStringList{} << 1;
    QTest::newRow("desktop, other table") << 0 << QStringList{"exportfilelist"} << 1;
    QTest::newRow("missing table first") << 0 << QStringList{"no_such_table", "calendar_events"} << 0;
}

void tst_result_database::clear_by_engine_and_tables()
{
    QFETCH(int, engine);
    QFETCH(QStringList, tables);
    QFETCH(int, rows_left);
    QTemporaryDir result;
    prepared_plugin prepared(result.path(), engine, tables);
    QVERIFY(run_sql(prepared.db, "INSERT INTO calendar_events(title) VALUES('old')"));
    prepared.plugin.pub_set_clear_db(true);
    QCOMPARE(count_rows(prepared.db, "calendar_events"), rows_left);
}

void tst_result_database::clear_quotes_table_names()
{
    // A name from the host can neither end the statement nor run a second one.
    QTemporaryDir result;
    prepared_plugin prepared(result.path(), 0, {"x'; DROP TABLE calendar_events; --", "odd\"name"});
    QVERIFY(run_sql(prepared.db, "CREATE TABLE \"odd\"\"name\"(v)"));
    QVERIFY(run_sql(prepared.db, "INSERT INTO \"odd\"\"name\" VALUES(1)"));
    QVERIFY(run_sql(prepared.db, "INSERT INTO calendar_events(title) VALUES('kept')"));
    prepared.plugin.pub_set_clear_db(true);
    QCOMPARE(count_rows(prepared.db, "calendar_events"), 1);
    QCOMPARE(count_rows(prepared.db, "\"odd\"\"name\""), 0);
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
    plugin.pub_create_db_tables();
    const QStringList texts = test_support::log_texts(log);
    const int at = int(
        texts.indexOf("[create_db_tables]Destination Db opening  for table creation------FAILED--------"));
    QVERIFY(at >= 0);
    QCOMPARE(texts.at(at + 2), extraction_fixture::database_of(result.path()));
    QVERIFY(!texts.contains("[create_db_tables] Ends"));
    QVERIFY(texts.contains("[create_destination_database] ends"));
}

QTEST_MAIN(tst_result_database)
#include "tst_result_database.moc"
