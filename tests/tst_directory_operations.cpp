// Recursive folder copy in chunks with cancellation, recursive removal, and the removal of the
// scratch folder when a run ends.

#include "plugin/google_calendar.h"
#include "tests/test_support.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace
{
// Every entry below `dir` (hidden ones too, links not followed) as relative path to content;
// folders map to "<dir>", links to "-> target".
QMap<QString, QByteArray> tree_of(const QString& dir)
{
    QMap<QString, QByteArray> tree;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
    {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        const QString relative = QDir(dir).relativeFilePath(path);
        if (info.isSymLink())
            tree.insert(relative, "-> " + info.symLinkTarget().toUtf8());
        else if (info.isDir())
            tree.insert(relative, "<dir>");
        else
            tree.insert(relative, test_support::read_file(path));
    }
    return tree;
}

QByteArray pattern(qint64 size)
{
    QByteArray bytes(size, '\0');
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char('a' + (i * 7 + i / 251) % 26);
    return bytes;
}

bool make_link(const QString& target, const QString& link)
{
    return QFile::link(target, link);
}
} // namespace

class tst_directory_operations : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void copy_tree_without_hidden_entries();
    void copy_empty_source_creates_destination();
    void copy_missing_source();
    void copy_file_sizes_data();
    void copy_file_sizes();
    void copy_overwrites_and_truncates();
    void copy_cancelled_before_start();
    void copy_follows_links_once_data();
    void copy_follows_links_once();
    void copy_into_itself_data();
    void copy_into_itself();
    void copy_blocked_destination_file();
    void copy_unreadable_source_file();
    void copy_failed_write_is_logged();

    void remove_tree_with_hidden_entries();
    void remove_missing_or_empty_path_data();
    void remove_missing_or_empty_path();
    void remove_keeps_link_targets_data();
    void remove_keeps_link_targets();

    void remove_temporary_asthetics_before_result_directory();
    void remove_temporary_asthetics_after_result_directory();

  private:
    QStringList log_lines();

    QTemporaryDir work;
    QString log_path;
};

void tst_directory_operations::init()
{
    QVERIFY(work.isValid());
    log_path = work.path() + "/debug.log";
    test_support::log_into(log_path);
}

void tst_directory_operations::cleanup()
{
    plugin_static_function::set_cancel_extraction(false);
    plugin_static_function::close_debug_file();
    plugin_static_function::set_general_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_general_info());
    QDir(work.path()).removeRecursively();
    QDir().mkpath(work.path());
}

QStringList tst_directory_operations::log_lines()
{
    plugin_static_function::close_debug_file();
    return test_support::log_texts(log_path);
}

void tst_directory_operations::copy_tree_without_hidden_entries()
{
    const QString source = work.path() + "/source";
    QVERIFY(test_support::write_file(source + "/a.txt", "alpha"));
    QVERIFY(test_support::write_file(source + "/empty", ""));
    QVERIFY(test_support::write_file(source + "/sub/b.bin", pattern(5000)));
    QVERIFY(test_support::write_file(source + "/sub/deeper/c.txt", "gamma"));
    QVERIFY(QDir().mkpath(source + "/empty_folder"));
    QVERIFY(test_support::write_file(source + "/.hidden_file", "secret"));
    QVERIFY(test_support::write_file(source + "/.hidden_folder/d.txt", "delta"));
    QVERIFY(test_support::write_file(source + "/sub/.e.txt", "epsilon"));
    const QMap<QString, QByteArray> before = tree_of(source);

    plugin_static_function::copy_directory(source, work.path() + "/copy");

    const QMap<QString, QByteArray> expected = {
        {"a.txt", "alpha"},           {"empty", ""},           {"sub", "<dir>"},
        {"sub/b.bin", pattern(5000)}, {"sub/deeper", "<dir>"}, {"sub/deeper/c.txt", "gamma"},
        {"empty_folder", "<dir>"},
    };
    QCOMPARE(tree_of(work.path() + "/copy"), expected);
    QCOMPARE(tree_of(source), before);
    QCOMPARE(log_lines(), QStringList());
}

void tst_directory_operations::copy_empty_source_creates_destination()
{
    const QString source = work.path() + "/empty_source";
    QVERIFY(QDir().mkpath(source));
    const QString destination = work.path() + "/not/yet/there";

    plugin_static_function::copy_directory(source, destination);

    QVERIFY(QFileInfo(destination).isDir());
    QVERIFY(tree_of(destination).isEmpty());
}

void tst_directory_operations::copy_missing_source()
{
    const QString source = work.path() + "/missing";
    const QString destination = work.path() + "/copy";

    plugin_static_function::copy_directory(source, destination);

    QVERIFY(!QFileInfo::exists(destination));
    QCOMPARE(log_lines(),
             QStringList{"[copy_directory] source diectory does not exist ----FAILED---- :" + source});
}

void tst_directory_operations::copy_file_sizes_data()
{
    QTest::addColumn<qint64>("size");
    QTest::newRow("empty") << qint64(0);
    QTest::newRow("one byte") << qint64(1);
    QTest::newRow("one chunk less one") << qint64(102399);
    QTest::newRow("one chunk") << qint64(102400);
    QTest::newRow("one chunk and one byte") << qint64(102401);
    QTest::newRow("two chunks") << qint64(204800);
    QTest::newRow("two chunks and one byte") << qint64(204801);
    QTest::newRow("many chunks") << qint64(1024 * 1024 + 17);
}

void tst_directory_operations::copy_file_sizes()
{
    QFETCH(qint64, size);
    const QString source = work.path() + "/source";
    const QByteArray bytes = pattern(size);
    QVERIFY(test_support::write_file(source + "/data.bin", bytes));

    plugin_static_function::copy_directory(source, work.path() + "/copy");

    const QByteArray copied = test_support::read_file(work.path() + "/copy/data.bin");
    QCOMPARE(copied.size(), bytes.size());
    QVERIFY(copied == bytes);
}

void tst_directory_operations::copy_overwrites_and_truncates()
{
    const QString source = work.path() + "/source";
    const QString destination = work.path() + "/copy";
    QVERIFY(test_support::write_file(source + "/a.txt", "short"));
    QVERIFY(test_support::write_file(destination + "/a.txt", pattern(300000)));
    QVERIFY(test_support::write_file(destination + "/kept.txt", "not in the source"));

    plugin_static_function::copy_directory(source, destination);

    QCOMPARE(test_support::read_file(destination + "/a.txt"), QByteArray("short"));
    QCOMPARE(test_support::read_file(destination + "/kept.txt"), QByteArray("not in the source"));
}

void tst_directory_operations::copy_cancelled_before_start()
{
    const QString source = work.path() + "/source";
    QVERIFY(test_support::write_file(source + "/a.txt", "alpha"));
    QVERIFY(test_support::write_file(source + "/sub/b.txt", "beta"));
    const QString destination = work.path() + "/deep/copy";

    plugin_static_function::set_cancel_extraction(true);
    plugin_static_function::copy_directory(source, destination);

    QVERIFY(QFileInfo(destination).isDir());
    QVERIFY(tree_of(destination).isEmpty());
}

void tst_directory_operations::copy_follows_links_once_data()
{
    QTest::addColumn<QString>("link_target");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QStringList>("other_order");
    QTest::addColumn<int>("skips");

    const QStringList own = {"a_sub", "a_sub/inner.txt", "top.txt"};
    QTest::newRow("link to an outside folder is followed")
        << "outside" << own + QStringList{"z_link", "z_link/out.txt"} << QStringList() << 0;
    QTest::newRow("link to the source itself") << "source" << own << QStringList() << 1;
    QTest::newRow("link to the parent of the source")
        << "." << own + QStringList{"z_link", "z_link/outside", "z_link/outside/out.txt"} << QStringList()
        << 1;
    // Which of the two names reaches the folder first is the file system's listing order.
    QTest::newRow("two ways into one folder")
        << "source/a_sub" << own << QStringList{"top.txt", "z_link", "z_link/inner.txt"} << 1;
}

// A link to a folder is copied as that folder's contents, but no folder is entered twice,
// so a link back up the tree ends the walk instead of recursing without end.
void tst_directory_operations::copy_follows_links_once()
{
    QFETCH(QString, link_target);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, other_order);
    QFETCH(int, skips);

    const QString tree = work.path() + "/tree";
    const QString source = tree + "/source";
    QVERIFY(test_support::write_file(source + "/top.txt", "top"));
    QVERIFY(test_support::write_file(source + "/a_sub/inner.txt", "inner"));
    QVERIFY(test_support::write_file(tree + "/outside/out.txt", "out"));
    QVERIFY(make_link(tree + "/" + link_target, source + "/z_link"));

    const QString destination = work.path() + "/copy";
    plugin_static_function::copy_directory(source, destination);

    QStringList copied = tree_of(destination).keys();
    copied.sort();
    expected.sort();
    other_order.sort();
    QVERIFY2(copied == expected || (!other_order.isEmpty() && copied == other_order),
             qPrintable(copied.join(" ")));
    for (const QString& entry : copied)
    {
        if (entry.endsWith(".txt"))
            QCOMPARE(test_support::read_file(destination + "/" + entry),
                     entry.section('/', -1).section('.', 0, 0).toUtf8());
    }
    const QStringList lines = log_lines();
    QCOMPARE(lines.size(), skips);
    for (const QString& line : lines)
        QVERIFY2(line.startsWith("[copy_directory] directory already copied, skipped :" + source),
                 qPrintable(line));
}

void tst_directory_operations::copy_into_itself_data()
{
    QTest::addColumn<QString>("destination");
    QTest::newRow("destination inside the source") << "source/copy";
    QTest::newRow("destination deeper inside the source") << "source/a_sub/copy";
    QTest::newRow("destination is the source") << "source";
    QTest::newRow("destination is the source, other spelling") << "source/a_sub/..";
}

// The copy never enters its own destination, and never truncates the file it reads.
void tst_directory_operations::copy_into_itself()
{
    QFETCH(QString, destination);
    const QString source = work.path() + "/source";
    QVERIFY(test_support::write_file(source + "/top.txt", "top"));
    QVERIFY(test_support::write_file(source + "/a_sub/inner.txt", "inner"));

    plugin_static_function::copy_directory(source, work.path() + "/" + destination);

    QCOMPARE(test_support::read_file(source + "/top.txt"), QByteArray("top"));
    QCOMPARE(test_support::read_file(source + "/a_sub/inner.txt"), QByteArray("inner"));
    const QString target = QFileInfo(work.path() + "/" + destination).canonicalFilePath();
    if (target != QFileInfo(source).canonicalFilePath())
    {
        QCOMPARE(test_support::read_file(target + "/top.txt"), QByteArray("top"));
        QCOMPARE(test_support::read_file(target + "/a_sub/inner.txt"), QByteArray("inner"));
        QVERIFY(!QFileInfo::exists(target + "/copy"));
    }
    QCOMPARE(tree_of(work.path()).keys().filter("inner.txt").size(), target.endsWith("source") ? 1 : 2);
    const QStringList lines = log_lines();
    QCOMPARE(lines.size(), 1);
    QVERIFY2(
        lines.at(0).startsWith("[copy_directory] destination directory not copied into itself, skipped :"),
        qPrintable(lines.at(0)));
}

void tst_directory_operations::copy_blocked_destination_file()
{
    const QString source = work.path() + "/source";
    const QString destination = work.path() + "/copy";
    QVERIFY(test_support::write_file(source + "/blocked.txt", "blocked"));
    QVERIFY(test_support::write_file(source + "/fine.txt", "fine"));
    // A folder of the same name stands where the destination file would go.
    QVERIFY(QDir().mkpath(destination + "/blocked.txt"));

    plugin_static_function::copy_directory(source, destination);

    QCOMPARE(test_support::read_file(destination + "/fine.txt"), QByteArray("fine"));
    const QStringList lines = log_lines();
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0),
             "[copy_directory] destination file open ----FAILED---- :" + destination + "/blocked.txt");
    QVERIFY(lines.at(1).startsWith("[copy_directory] Error:"));
    QVERIFY(lines.at(1).size() > QString("[copy_directory] Error:").size());
}

void tst_directory_operations::copy_unreadable_source_file()
{
    if (geteuid() == 0)
        QSKIP("needs a file its owner cannot read, and root can read every file");
    const QString source = work.path() + "/source";
    const QString destination = work.path() + "/copy";
    QVERIFY(test_support::write_file(source + "/blocked.txt", "blocked"));
    QVERIFY(test_support::write_file(source + "/fine.txt", "fine"));
    QVERIFY(QFile::setPermissions(source + "/blocked.txt", QFileDevice::Permissions()));

    plugin_static_function::copy_directory(source, destination);
    QFile::setPermissions(source + "/blocked.txt", QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    QCOMPARE(test_support::read_file(destination + "/fine.txt"), QByteArray("fine"));
    QVERIFY(!QFileInfo::exists(destination + "/blocked.txt"));
    const QStringList lines = log_lines();
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0), "[copy_directory] source file open ----FAILED---- :" + source + "/blocked.txt");
    QVERIFY(lines.at(1).startsWith("[copy_directory] Error:"));
}

// A full device accepts the open and refuses the bytes.
void tst_directory_operations::copy_failed_write_is_logged()
{
    if (!QFileInfo::exists("/dev/full"))
        QSKIP("no /dev/full on this system");
    const QString source = work.path() + "/source";
    const QString destination = work.path() + "/copy";
    QVERIFY(test_support::write_file(source + "/data.bin", pattern(150000)));
    QVERIFY(QDir().mkpath(destination));
    QVERIFY(make_link("/dev/full", destination + "/data.bin"));

    plugin_static_function::copy_directory(source, destination);

    const QStringList lines = log_lines();
    QVERIFY2(lines.size() == 2, qPrintable(lines.join("\n")));
    QCOMPARE(lines.at(0),
             "[copy_directory] destination file write ----FAILED---- :" + destination + "/data.bin");
    QVERIFY(lines.at(1).startsWith("[copy_directory] Error:"));
    QCOMPARE(test_support::read_file(source + "/data.bin"), pattern(150000));
}

void tst_directory_operations::remove_tree_with_hidden_entries()
{
    const QString dir = work.path() + "/tmp";
    QVERIFY(test_support::write_file(dir + "/a.txt", "a"));
    QVERIFY(test_support::write_file(dir + "/.hidden", "h"));
    QVERIFY(test_support::write_file(dir + "/.hidden_folder/.deeper/x", "x"));
    QVERIFY(test_support::write_file(dir + "/sub/b.txt", "b"));
    QVERIFY(QDir().mkpath(dir + "/empty"));
    QVERIFY(make_link(work.path() + "/nowhere", dir + "/dangling"));
    QVERIFY(QFile::setPermissions(dir + "/a.txt", QFileDevice::ReadOwner));

    plugin_static_function::remove_directory(dir + "/");

    QVERIFY(!QFileInfo::exists(dir));
    QVERIFY(!QFileInfo(dir).isSymLink());
}

void tst_directory_operations::remove_missing_or_empty_path_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("empty") << "";
    QTest::newRow("blank") << "   ";
    QTest::newRow("missing") << "missing_folder";
    QTest::newRow("missing below a file") << "keep.txt/sub";
    QTest::newRow("a file, not a folder") << "keep.txt";
}

// Run from a folder full of files: an empty path must not mean the current directory.
void tst_directory_operations::remove_missing_or_empty_path()
{
    QFETCH(QString, path);
    const QString current = work.path() + "/current";
    QVERIFY(test_support::write_file(current + "/keep.txt", "keep"));
    QVERIFY(test_support::write_file(current + "/.keep_hidden", "keep"));
    QVERIFY(test_support::write_file(current + "/folder/inner.txt", "keep"));
    const QMap<QString, QByteArray> before = tree_of(current);

    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(current));
    plugin_static_function::remove_directory(path);
    QDir::setCurrent(previous);

    QCOMPARE(tree_of(current), before);
    QCOMPARE(log_lines(), QStringList());
}

void tst_directory_operations::remove_keeps_link_targets_data()
{
    QTest::addColumn<QString>("removed");
    QTest::addColumn<QString>("gone");
    QTest::newRow("folder holding a link to a folder") << "tmp"
                                                       << "tmp";
    QTest::newRow("the path is a link") << "tmp/link"
                                        << "tmp/link";
    QTest::newRow("the path is a link, with a final slash") << "tmp/link/"
                                                            << "tmp/link";
}

void tst_directory_operations::remove_keeps_link_targets()
{
    QFETCH(QString, removed);
    QFETCH(QString, gone);

    const QString target = work.path() + "/evidence";
    QVERIFY(test_support::write_file(target + "/file.txt", "evidence"));
    QVERIFY(test_support::write_file(target + "/.hidden", "evidence"));
    QVERIFY(test_support::write_file(target + "/sub/deep.txt", "evidence"));
    QVERIFY(test_support::write_file(work.path() + "/tmp/own.txt", "scratch"));
    QVERIFY(make_link(target, work.path() + "/tmp/link"));
    QVERIFY(make_link(target + "/file.txt", work.path() + "/tmp/file_link"));
    const QMap<QString, QByteArray> before = tree_of(target);

    plugin_static_function::remove_directory(work.path() + "/" + removed);

    QCOMPARE(tree_of(target), before);
    const QFileInfo left(work.path() + "/" + gone);
    QVERIFY(!left.exists() && !left.isSymLink());
    if (gone != "tmp")
        QCOMPARE(test_support::read_file(work.path() + "/tmp/own.txt"), QByteArray("scratch"));
}

void tst_directory_operations::remove_temporary_asthetics_before_result_directory()
{
    const QString current = work.path() + "/current";
    QVERIFY(test_support::write_file(current + "/a.txt", "keep"));
    QVERIFY(test_support::write_file(current + "/.hidden", "keep"));
    QVERIFY(test_support::write_file(current + "/tmp/b.txt", "keep"));
    QVERIFY(test_support::write_file(current + "/folder/c.txt", "keep"));
    const QMap<QString, QByteArray> before = tree_of(current);
    QVERIFY(plugin_static_function::debug_file_regular_QFile.isOpen());

    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(current));
    {
        google_calendar plugin;
        plugin.pub_remove_temporary_asthetics();
    }
    QDir::setCurrent(previous);

    QCOMPARE(tree_of(current), before);
    QVERIFY(!plugin_static_function::debug_file_regular_QFile.isOpen());
}

void tst_directory_operations::remove_temporary_asthetics_after_result_directory()
{
    const QString results = work.path() + "/case";
    const QString plugin_dir = results + "/Artifacts_Result/Google_Calendar/";
    {
        google_calendar plugin;
        plugin.pub_set_essentials();
        plugin.pub_set_engine_type(0);
        plugin.pub_set_result_directory(results);
        plugin.pub_create_db_tables();
        QVERIFY(QFileInfo(plugin_dir + "tmp").isDir());
        QVERIFY(test_support::write_file(plugin_dir + "tmp/copy.db", "scratch"));
        QVERIFY(test_support::write_file(plugin_dir + "tmp/.hidden/x", "scratch"));

        plugin.pub_remove_temporary_asthetics();

        QVERIFY(!QFileInfo::exists(plugin_dir + "tmp"));
        QVERIFY(QFileInfo(plugin_dir + "Google_Calendar.sqlite").isFile());
        QVERIFY(!plugin_static_function::debug_file_regular_QFile.isOpen());
    }
}

QTEST_MAIN(tst_directory_operations)
#include "tst_directory_operations.moc"
