// Source labels, source-relative paths, the account of a path, and free file names.

#include "tests/test_support.h"

#include <QTemporaryDir>
#include <QtTest>

namespace
{
const QString home = "macOS_Home_Directory";
}

class tst_source_naming : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void source_count_name_data();
    void source_count_name();
    void source_count_name_after_essentials();
    void complete_file_path_data();
    void complete_file_path();
    void relative_file_path_data();
    void relative_file_path();
    void final_artifact_source_file_data();
    void final_artifact_source_file();
    void user_name_from_source_file_data();
    void user_name_from_source_file();
    void available_file_data();
    void available_file();
    void available_file_creates_a_missing_folder();
    void file_exists_in_dir_data();
    void file_exists_in_dir();
    void cancel_ends_both_searches();
};

void tst_source_naming::init()
{
    plugin_static_function::set_essentials();
}

void tst_source_naming::cleanup()
{
    plugin_static_function::set_essentials();
}

void tst_source_naming::source_count_name_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("label");
    QTest::newRow("2") << 2 << "Source2";
    QTest::newRow("3") << 3 << "Source3";
    QTest::newRow("0") << 0 << "Source0";
    QTest::newRow("two digits") << 12 << "Source12";
    QTest::newRow("negative") << -5 << "Source-5";
}

void tst_source_naming::source_count_name()
{
    QFETCH(int, number);
    QFETCH(QString, label);
    plugin_static_function::set_source_count(number);
    QCOMPARE(plugin_static_function::get_source_count_name(), label);
}

void tst_source_naming::source_count_name_after_essentials()
{
    plugin_static_function::set_source_count(2);
    plugin_static_function::set_essentials();
    QCOMPARE(plugin_static_function::get_source_count_name(), QString("Source-1"));
}

void tst_source_naming::complete_file_path_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("expected");
    QTest::newRow("home folder replaced") << "/Users/bob/Library/x.ics"
                                          << "alice" << home << "/Users/alice/Library/x.ics";
    QTest::newRow("other type unchanged") << "/Users/bob/Library/x.ics"
                                          << "alice"
                                          << "macOS"
                                          << "/Users/bob/Library/x.ics";
    QTest::newRow("empty type unchanged") << "/Users/bob/Library/x.ics"
                                          << "alice"
                                          << ""
                                          << "/Users/bob/Library/x.ics";
    QTest::newRow("bare home path, nothing doubled") << "/Users/bob"
                                                     << "alice" << home << "/Users/alice";
    QTest::newRow("home path with final slash") << "/Users/bob/"
                                                << "alice" << home << "/Users/alice/";
    QTest::newRow("not under /Users/") << "/Volumes/x/Users/bob/a.ics"
                                       << "alice" << home << "/Volumes/x/Users/bob/a.ics";
    QTest::newRow("case-sensitive prefix") << "/users/bob/a.ics"
                                           << "alice" << home << "/users/bob/a.ics";
    QTest::newRow("relative gets a slash") << "Library/a.ics"
                                           << "alice"
                                           << ""
                                           << "/Library/a.ics";
    QTest::newRow("empty stays empty") << ""
                                       << "alice" << home << "";
    QTest::newRow("blank stays blank") << "   "
                                       << "alice"
                                       << ""
                                       << "   ";
}

void tst_source_naming::complete_file_path()
{
    QFETCH(QString, path);
    QFETCH(QString, user);
    QFETCH(QString, type);
    QFETCH(QString, expected);
    QCOMPARE(plugin_static_function::get_complete_file_path(path, user, type), expected);
}

void tst_source_naming::relative_file_path_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("expected");
    QTest::newRow("home: root removed") << "/mnt/src/Users/bob/a.ics"
                                        << "/mnt/src" << home << "/Users/bob/a.ics";
    QTest::newRow("home: root with final slash") << "/mnt/src/Users/bob/a.ics"
                                                 << "/mnt/src/" << home << "/Users/bob/a.ics";
    QTest::newRow("home: first occurrence") << "/a/x/a/x/f"
                                            << "/a/x" << home << "/a/x/f";
    QTest::newRow("home: root not in path") << "/other/a.ics"
                                            << "/mnt/src" << home << "/other/a.ics";
    QTest::newRow("other type unchanged") << "/mnt/src/Users/bob/a.ics"
                                          << "/mnt/src"
                                          << ""
                                          << "/mnt/src/Users/bob/a.ics";
    QTest::newRow("relative gets a slash") << "Library/a.ics"
                                           << "/mnt/src"
                                           << ""
                                           << "/Library/a.ics";
    QTest::newRow("empty stays empty") << ""
                                       << "/mnt" << home << "";
    QTest::newRow("blank stays blank") << "  "
                                       << "/mnt"
                                       << ""
                                       << "  ";
}

void tst_source_naming::relative_file_path()
{
    QFETCH(QString, path);
    QFETCH(QString, root);
    QFETCH(QString, type);
    QFETCH(QString, expected);
    QCOMPARE(plugin_static_function::get_relative_file_path(path, root, type), expected);
}

void tst_source_naming::final_artifact_source_file_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("relative");
    QTest::addColumn<QString>("complete");
    QTest::newRow("home") << "/mnt/src/Users/bob/a.ics"
                          << "/mnt/src" << home << "/Users/bob/a.ics"
                          << "/mnt/src/Users/bob/a.ics";
    QTest::newRow("other type") << "/mnt/src/a.ics"
                                << "/mnt/src"
                                << ""
                                << "/mnt/src/a.ics"
                                << "";
    QTest::newRow("relative input") << "Calendar/a.ics"
                                    << ""
                                    << ""
                                    << "/Calendar/a.ics"
                                    << "";
}

void tst_source_naming::final_artifact_source_file()
{
    QFETCH(QString, path);
    QFETCH(QString, root);
    QFETCH(QString, type);
    QFETCH(QString, relative);
    QFETCH(QString, complete);
    const QPair<QString, QString> got =
        plugin_static_function::get_final_artifact_source_file(path, root, type);
    QCOMPARE(got.first, relative);
    QCOMPARE(got.second, complete);
}

void tst_source_naming::user_name_from_source_file_data()
{
    QTest::addColumn<QStringList>("accounts"); // user/domain pairs
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("domain");
    const QString file = "/mnt/src/Users/bob/a.ics";
    QTest::newRow("known account") << QStringList{"bob/CORP"} << file << "/mnt/src/"
                                   << "bob"
                                   << "CORP";
    QTest::newRow("root without final slash") << QStringList{"bob/CORP"} << file << "/mnt/src"
                                              << "Users"
                                              << "";
    QTest::newRow("no accounts known") << QStringList{} << file << "/mnt/src/"
                                       << ""
                                       << "";
    QTest::newRow("unknown user") << QStringList{"bob/CORP"} << "/mnt/src/Users/carol/a.ics"
                                  << "/mnt/src/"
                                  << "carol"
                                  << "";
    QTest::newRow("first matching account")
        << QStringList{"eve/X", "bob/FIRST", "bob/SECOND"} << file << "/mnt/src/"
        << "bob"
        << "FIRST";
    QTest::newRow("one part only") << QStringList{"bob/CORP"} << "/mnt/src/a.ics"
                                   << "/mnt/src/"
                                   << ""
                                   << "";
}

void tst_source_naming::user_name_from_source_file()
{
    QFETCH(QStringList, accounts);
    QFETCH(QString, path);
    QFETCH(QString, root);
    QFETCH(QString, user);
    QFETCH(QString, domain);
    struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_source_info source;
    for (const QString& account : accounts)
        source.system_account_list << struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_system_account{
            account.section('/', 0, 0), account.section('/', 1)};
    plugin_static_function::set_source_info(source);
    const auto found = plugin_static_function::extract_user_name_from_sourcefile(path, root);
    QCOMPARE(found.system_user, user);
    QCOMPARE(found.domain_user, domain);
}

void tst_source_naming::available_file_data()
{
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("file_path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty folder") << QStringList{} << "/evidence/a.ics"
                                  << "a.ics";
    QTest::newRow("name and 1_name taken") << QStringList{"a.ics", "1_a.ics"} << "/evidence/a.ics"
                                           << "2_a.ics";
    QTest::newRow("gap is not filled") << QStringList{"a.ics", "2_a.ics"} << "/evidence/a.ics"
                                       << "1_a.ics";
    QTest::newRow("trailing blank still taken") << QStringList{"a.ics "} << "/evidence/a.ics"
                                                << "1_a.ics";
    QTest::newRow("hidden name taken") << QStringList{".a.ics"} << "/evidence/.a.ics"
                                       << "1_.a.ics";
    QTest::newRow("folder of that name") << QStringList{"a.ics/inner"} << "/evidence/a.ics"
                                         << "1_a.ics";
    QTest::newRow("only in a subfolder") << QStringList{"sub/a.ics"} << "/evidence/a.ics"
                                         << "a.ics";
    QTest::newRow("bare file name") << QStringList{"a.ics"} << "a.ics"
                                    << "1_a.ics";
}

void tst_source_naming::available_file()
{
    QFETCH(QStringList, present);
    QFETCH(QString, file_path);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    for (const QString& name : present)
        QVERIFY(test_support::write_file(dir.path() + "/" + name, "x"));
    const QStringList before =
        QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    QCOMPARE(plugin_static_function::get_available_file(file_path, dir.path(), "void f()"), expected);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             before); // a name only, no file
}

void tst_source_naming::available_file_creates_a_missing_folder()
{
    QTemporaryDir dir;
    const QString target = dir.path() + "/scratch/deeper";
    QCOMPARE(plugin_static_function::get_available_file("/e/a.ics", target, "void f()"), QString("a.ics"));
    QVERIFY(QFileInfo(target).isDir());
}

void tst_source_naming::file_exists_in_dir_data()
{
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("exists");
    QTest::newRow("plain") << QStringList{"a.ics"} << "a.ics" << true;
    QTest::newRow("hidden") << QStringList{".hidden"} << ".hidden" << true;
    QTest::newRow("blanks around the asked name") << QStringList{"a.ics"} << " a.ics " << true;
    QTest::newRow("blank around the entry") << QStringList{"b.ics "} << "b.ics" << true;
    QTest::newRow("case-sensitive") << QStringList{"a.ics"} << "A.ics" << false;
    QTest::newRow("not recursive") << QStringList{"sub/a.ics"} << "a.ics" << false;
    QTest::newRow("empty folder") << QStringList{} << "a.ics" << false;
}

void tst_source_naming::file_exists_in_dir()
{
    QFETCH(QStringList, present);
    QFETCH(QString, name);
    QFETCH(bool, exists);
    QTemporaryDir dir;
    for (const QString& entry : present)
        QVERIFY(test_support::write_file(dir.path() + "/" + entry, "x"));
    QCOMPARE(plugin_static_function::is_file_exist_in_dir(dir.path(), name, "void f()"), exists);
    QVERIFY(!plugin_static_function::is_file_exist_in_dir(dir.path() + "/missing", name, "void f()"));
}

void tst_source_naming::cancel_ends_both_searches()
{
    QTemporaryDir dir;
    QVERIFY(test_support::write_file(dir.path() + "/a.ics", "x"));
    plugin_static_function::set_cancel_extraction(true);
    QCOMPARE(plugin_static_function::get_available_file("/e/a.ics", dir.path(), "void f()"), QString());
    QCOMPARE(plugin_static_function::get_available_file("/e/b.ics", dir.path(), "void f()"), QString());
    QVERIFY(!plugin_static_function::is_file_exist_in_dir(dir.path(), "a.ics", "void f()"));
}

QTEST_MAIN(tst_source_naming)
#include "tst_source_naming.moc"
