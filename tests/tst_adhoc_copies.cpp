// Copies of evidence files and SQLite databases into the scratch folder under free names.

#include "support/plugin_helper_functions.h"
#include "tests/test_support.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
QStringList entries_of(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                               QDir::Name);
}

// Runs `statements` on an SQLite file through its own connection.
bool run_sql(const QString& db_path, const QStringList& statements, const QString& connection)
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", connection);
        db.setDatabaseName(db_path);
        ok = db.open();
        for (const QString& statement : statements)
        {
            QSqlQuery query(db);
            ok = ok && query.exec(statement);
        }
    }
    return ok;
}

int row_count(const QString& db_path, const QString& table)
{
    int count = -1;
    const QString name = "tst_adhoc_copies count";
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(db_path);
        if (db.open())
        {
            QSqlQuery query("SELECT count(*) FROM " + table, db);
            if (query.next())
                count = query.value(0).toInt();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return count;
}
} // namespace

class tst_adhoc_copies : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void regular_file_copy();
    void free_names_data();
    void free_names();
    void repeated_copies_keep_earlier_ones();
    void nothing_to_copy_data();
    void nothing_to_copy();
    void failed_copy_is_logged();

    void database_companions_data();
    void database_companions();
    void stale_companions_are_removed();
    void wal_database_copy_reads_its_journal();

  private:
    QTemporaryDir work;
    QString scratch;
    QString evidence;
};

void tst_adhoc_copies::init()
{
    QVERIFY(work.isValid());
    scratch = work.path() + "/scratch/";
    evidence = work.path() + "/evidence/";
    QVERIFY(QDir().mkpath(evidence));
    plugin_static_function::set_essentials();
}

void tst_adhoc_copies::cleanup()
{
    plugin_static_function::set_cancel_extraction(false);
    plugin_static_function::close_debug_file();
    plugin_static_function::set_general_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_general_info());
    QDir(work.path()).removeRecursively();
    QDir().mkpath(work.path());
}

void tst_adhoc_copies::regular_file_copy()
{
    const QString source = evidence + "History.db";
    QVERIFY(test_support::write_file(source, "evidence bytes"));
    const QDateTime modified = QFileInfo(source).lastModified();

    plugin_helper_functions helper;
    helper.set_adhoc_parent_path(scratch);
    const QString copy = helper.get_adhoc_path_for_regular_file(source);

    QCOMPARE(copy, scratch + "History.db");
    QCOMPARE(test_support::read_file(copy), QByteArray("evidence bytes"));
    QCOMPARE(test_support::read_file(source), QByteArray("evidence bytes"));
    QCOMPARE(QFileInfo(source).lastModified(), modified);
    QCOMPARE(entries_of(evidence), QStringList{"History.db"});
}

void tst_adhoc_copies::free_names_data()
{
    QTest::addColumn<QStringList>("already_there");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("free") << QStringList{"other.txt"} << "a.txt"
                          << "a.txt";
    QTest::newRow("taken once") << QStringList{"a.txt"} << "a.txt"
                                << "1_a.txt";
    QTest::newRow("taken twice") << QStringList{"a.txt", "1_a.txt"} << "a.txt"
                                 << "2_a.txt";
    QTest::newRow("hidden entry taken") << QStringList{".config"} << ".config"
                                        << "1_.config";
    QTest::newRow("taken with a trailing blank") << QStringList{"a.txt "} << "a.txt"
                                                 << "1_a.txt";
    QTest::newRow("taken by a folder") << QStringList{"a.txt/"} << "a.txt"
                                       << "1_a.txt";
}

void tst_adhoc_copies::free_names()
{
    QFETCH(QStringList, already_there);
    QFETCH(QString, name);
    QFETCH(QString, expected);

    for (const QString& entry : already_there)
    {
        if (entry.endsWith("/"))
            QVERIFY(QDir().mkpath(scratch + entry));
        else
            QVERIFY(test_support::write_file(scratch + entry, "earlier"));
    }
    QVERIFY(test_support::write_file(evidence + name, "new"));

    plugin_helper_functions helper;
    helper.set_adhoc_parent_path(scratch);
    const QString copy = helper.get_adhoc_path_for_regular_file(evidence + name);

    QCOMPARE(copy, scratch + expected);
    QCOMPARE(test_support::read_file(copy), QByteArray("new"));
    for (const QString& entry : already_there)
    {
        if (!entry.endsWith("/"))
            QCOMPARE(test_support::read_file(scratch + entry), QByteArray("earlier"));
    }
}

void tst_adhoc_copies::repeated_copies_keep_earlier_ones()
{
    plugin_helper_functions helper;
    helper.set_adhoc_parent_path(scratch);
    QStringList copies;
    for (const QByteArray& content : {QByteArray("one"), QByteArray("two"), QByteArray("three")})
    {
        QVERIFY(test_support::write_file(evidence + "notes.plist", content));
        copies << helper.get_adhoc_path_for_regular_file(evidence + "notes.plist");
    }
    QCOMPARE(copies,
             (QStringList{scratch + "notes.plist", scratch + "1_notes.plist", scratch + "2_notes.plist"}));
    QCOMPARE(test_support::read_file(copies.at(0)), QByteArray("one"));
    QCOMPARE(test_support::read_file(copies.at(1)), QByteArray("two"));
    QCOMPARE(test_support::read_file(copies.at(2)), QByteArray("three"));
}

void tst_adhoc_copies::nothing_to_copy_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("scratch_set");
    QTest::addColumn<bool>("cancelled");
    QTest::addColumn<bool>("as_database");
    QTest::newRow("empty path") << "" << true << false << false;
    QTest::newRow("blank path") << "  " << true << false << true;
    QTest::newRow("no scratch folder") << "a.txt" << false << false << false;
    QTest::newRow("no scratch folder, database") << "a.txt" << false << false << true;
    QTest::newRow("cancelled") << "a.txt" << true << true << false;
    QTest::newRow("cancelled, database") << "a.txt" << true << true << true;
}

// No copy is made and nothing is deleted: neither in the scratch folder nor in the current directory,
// which is where an empty scratch path would point.
void tst_adhoc_copies::nothing_to_copy()
{
    QFETCH(QString, file);
    QFETCH(bool, scratch_set);
    QFETCH(bool, cancelled);
    QFETCH(bool, as_database);

    const QString current = work.path() + "/current/";
    QVERIFY(test_support::write_file(current + "a.txt", "current a"));
    QVERIFY(test_support::write_file(current + "a.txt-wal", "current wal"));
    QVERIFY(test_support::write_file(scratch + "a.txt", "scratch a"));
    QVERIFY(test_support::write_file(scratch + "1_a.txt-wal", "scratch wal"));
    QVERIFY(test_support::write_file(evidence + "a.txt", "evidence a"));
    QVERIFY(test_support::write_file(evidence + "a.txt-wal", "evidence wal"));
    const QString source = file.trimmed().isEmpty() ? file : evidence + file;

    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(current));
    plugin_helper_functions helper;
    if (scratch_set)
        helper.set_adhoc_parent_path(scratch);
    plugin_static_function::set_cancel_extraction(cancelled);
    const QString copy = as_database ? helper.get_adhoc_path_for_database(source)
                                     : helper.get_adhoc_path_for_regular_file(source);
    plugin_static_function::set_cancel_extraction(false);
    QDir::setCurrent(previous);

    QCOMPARE(copy, QString());
    QCOMPARE(entries_of(current), (QStringList{"a.txt", "a.txt-wal"}));
    QCOMPARE(test_support::read_file(current + "a.txt"), QByteArray("current a"));
    QCOMPARE(entries_of(scratch), (QStringList{"1_a.txt-wal", "a.txt"}));
    QCOMPARE(test_support::read_file(scratch + "a.txt"), QByteArray("scratch a"));
    QCOMPARE(entries_of(evidence), (QStringList{"a.txt", "a.txt-wal"}));
}

void tst_adhoc_copies::failed_copy_is_logged()
{
    const QString log = work.path() + "/debug.log";
    test_support::log_into(log);
    plugin_helper_functions helper;
    helper.set_adhoc_parent_path(scratch);
    const QString copy = helper.get_adhoc_path_for_regular_file(evidence + "gone.db");
    plugin_static_function::close_debug_file();

    QCOMPARE(copy, scratch + "gone.db");
    QVERIFY(!QFileInfo::exists(copy));
    const QStringList lines = test_support::log_texts(log);
    QVERIFY2(
        lines.contains("[get_adhoc_path_for_regular_file] file copy ----FAILED---- :" + evidence + "gone.db"),
        qPrintable(lines.join("\n")));
}

void tst_adhoc_copies::database_companions_data()
{
    QTest::addColumn<bool>("with_shm");
    QTest::addColumn<bool>("with_wal");
    QTest::newRow("none") << false << false;
    QTest::newRow("shm only") << true << false;
    QTest::newRow("wal only") << false << true;
    QTest::newRow("both") << true << true;
}

void tst_adhoc_copies::database_companions()
{
    QFETCH(bool, with_shm);
    QFETCH(bool, with_wal);

    const QString db = evidence + "store.sqlite";
    QVERIFY(test_support::write_file(db, "main"));
    if (with_shm)
        QVERIFY(test_support::write_file(db + "-shm", "shared memory"));
    if (with_wal)
        QVERIFY(test_support::write_file(db + "-wal", "journal"));
    // Occupies the name, so the copy and its companions go to 1_store.sqlite.
    QVERIFY(test_support::write_file(scratch + "store.sqlite", "earlier copy"));

    plugin_helper_functions helper;
    helper.set_adhoc_parent_path(scratch);
    const QString copy = helper.get_adhoc_path_for_database(db);

    QCOMPARE(copy, scratch + "1_store.sqlite");
    QCOMPARE(test_support::read_file(copy), QByteArray("main"));
    QCOMPARE(QFileInfo::exists(copy + "-shm"), with_shm);
    QCOMPARE(QFileInfo::exists(copy + "-wal"), with_wal);
    if (with_shm)
        QCOMPARE(test_support::read_file(copy + "-shm"), QByteArray("shared memory"));
    if (with_wal)
        QCOMPARE(test_support::read_file(copy + "-wal"), QByteArray("journal"));
    QCOMPARE(test_support::read_file(scratch + "store.sqlite"), QByteArray("earlier copy"));
    QVERIFY(!QFileInfo::exists(scratch + "store.sqlite-wal"));
}

void tst_adhoc_copies::stale_companions_are_removed()
{
    const QString db = evidence + "chat.db";
    QVERIFY(test_support::write_file(db, "main"));
    QVERIFY(test_support::write_file(db + "-wal", "this database's journal"));
    QVERIFY(test_support::write_file(scratch + "chat.db-wal", "another database's journal"));
    QVERIFY(test_support::write_file(scratch + "chat.db-shm", "another database's index"));

    plugin_helper_functions helper;
    helper.set_adhoc_parent_path(scratch);
    const QString copy = helper.get_adhoc_path_for_database(db);

    QCOMPARE(copy, scratch + "chat.db");
    QCOMPARE(test_support::read_file(copy + "-wal"), QByteArray("this database's journal"));
    QVERIFY(!QFileInfo::exists(copy + "-shm"));
}

// Rows committed to the journal but not yet into the main file are seen in the copy.
void tst_adhoc_copies::wal_database_copy_reads_its_journal()
{
    const QString db = evidence + "live.sqlite";
    const QString connection = "tst_adhoc_copies live";
    {
        QVERIFY(
            run_sql(db,
                    {"PRAGMA journal_mode=WAL", "PRAGMA wal_autocheckpoint=0", "CREATE TABLE t(v INTEGER)",
                     "INSERT INTO t VALUES(1)", "INSERT INTO t VALUES(2)", "INSERT INTO t VALUES(3)"},
                    connection));
        QVERIFY(QFileInfo::exists(db + "-wal"));

        plugin_helper_functions helper;
        helper.set_adhoc_parent_path(scratch);
        const QString copy = helper.get_adhoc_path_for_database(db);
        QVERIFY(QFileInfo(copy + "-wal").size() > 0);
        QCOMPARE(row_count(copy, "t"), 3);
    }
    QSqlDatabase::removeDatabase(connection);
}

QTEST_MAIN(tst_adhoc_copies)
#include "tst_adhoc_copies.moc"
