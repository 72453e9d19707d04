// Date and time conversions: durations, sizes, suffixes, Apple/mail/web/log time texts,
// UTC rendering, ISO 8601 parsing and file-system times.

#include "tests/test_support.h"

#include <QTemporaryDir>
#include <QtTest>

#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
void pin_machine_zone(const QByteArray& zone)
{
    qputenv("TZ", zone);
    tzset();
}

// POSIX rules, so the tests do not depend on the installed zone database.
const QByteArray new_york_zone = "EST5EDT,M3.2.0,M11.1.0";
const QByteArray berlin_zone = "CET-1CEST,M3.5.0,M10.5.0/3";

// Birth time as the kernel reports it, 0 when the file system keeps none.
qint64 statx_birth_seconds(const QString& path)
{
    struct statx info;
    if (statx(AT_FDCWD, QFile::encodeName(path).constData(), 0, STATX_BTIME, &info) != 0)
        return -1;
    if (!(info.stx_mask & STATX_BTIME))
        return 0;
    return (qint64(info.stx_btime.tv_sec) * 1000 + info.stx_btime.tv_nsec / 1000000) / 1000;
}

bool set_file_times(const QString& path, timespec access, timespec modification)
{
    const timespec times[2] = {access, modification};
    return utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

qint64 stat_size(const QString& path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? qint64(info.st_size) : -1;
}
} // namespace

class tst_date_time_conversions : public QObject
{
    Q_OBJECT

  private slots:
    void cleanup();

    void human_readable_time_data();
    void human_readable_time();
    void human_readable_size_data();
    void human_readable_size();
    void suffix_data();
    void suffix();
    void size_of_files_and_directories();
    void size_walk_stops_on_cancel();

    void apple_time_data();
    void apple_time();
    void us_style_dates_data();
    void us_style_dates();
    void log_stamps_data();
    void log_stamps();
    void mail_dates_data();
    void mail_dates();
    void utc_wall_clock_survives_local_gap();
    void zone_offsets_data();
    void zone_offsets();
    void utc_rendering_data();
    void utc_rendering();

    void iso_dates();
    void iso_date_log_lines();

    void posix_times_of_a_file();
    void posix_times_kept_nowhere();
    void posix_times_refused_data();
    void posix_times_refused();
};

void tst_date_time_conversions::cleanup()
{
    plugin_static_function::set_cancel_extraction(false);
    qunsetenv("TZ");
    tzset();
}

void tst_date_time_conversions::human_readable_time_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("blanks") << "   "
                            << "";
    QTest::newRow("negative") << "-1"
                              << "";
    QTest::newRow("seconds") << "59"
                             << "00:59 Min";
    QTest::newRow("minutes") << "61"
                             << "01:01 Min";
    QTest::newRow("hours") << "3725"
                           << "01:02:05 Hrs";
    QTest::newRow("fraction dropped") << "3600.9"
                                      << "01:00:00 Hrs";
    QTest::newRow("three-digit hours") << "360000"
                                       << "100:00:00 Hrs";
    QTest::newRow("not a number") << "abc"
                                  << "00:00 Min";
    QTest::newRow("past 32 bits") << "2147483648"
                                  << "596523:14:08 Hrs";
    QTest::newRow("long duration") << "99999999999"
                                   << "27777777:46:39 Hrs";
}

void tst_date_time_conversions::human_readable_time()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(plugin_static_function::get_human_readable_time(input), expected);
}

void tst_date_time_conversions::human_readable_size_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << " "
                           << "";
    QTest::newRow("bytes") << "1023"
                           << "1023 B";
    QTest::newRow("zero") << "0"
                          << "0 B";
    QTest::newRow("one KB") << "1024"
                            << "1.00 KB";
    QTest::newRow("KB fraction") << "1536"
                                 << "1.50 KB";
    QTest::newRow("rounds up to 1024 KB") << "1048575"
                                          << "1024.00 KB";
    QTest::newRow("one MB") << "1048576"
                            << "1.00 MB";
    QTest::newRow("one GB") << "1073741824"
                            << "1.00 GB";
    QTest::newRow("blanks around") << " 2048 "
                                   << "2.00 KB";
    QTest::newRow("not a number") << "abc"
                                  << "0 B";
    QTest::newRow("fraction") << "1.5"
                              << "0 B";
    QTest::newRow("negative") << "-5"
                              << "0 B";
    QTest::newRow("above signed range") << "18446744073709551615"
                                        << "17179869184.00 GB";
}

void tst_date_time_conversions::human_readable_size()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(plugin_static_function::human_readable_size(input), expected);
}

void tst_date_time_conversions::suffix_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << "  "
                           << "";
    QTest::newRow("upper case kept") << "/a/photo.JPG"
                                     << "JPG";
    QTest::newRow("hidden without suffix") << "/a/.profile"
                                           << "";
    QTest::newRow("hidden with suffix") << "/a/.cfg.json"
                                        << "json";
    QTest::newRow("last suffix") << "/a/archive.tar.gz"
                                 << "gz";
    QTest::newRow("no suffix") << "/a/README"
                               << "";
    QTest::newRow("dotted folder") << "/a.b/README"
                                   << "";
}

void tst_date_time_conversions::suffix()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(plugin_static_function::mining_suffix(input), expected);
}

void tst_date_time_conversions::size_of_files_and_directories()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = dir.path() + "/tree";
    QVERIFY(test_support::write_file(root + "/a.txt", QByteArray(10, 'a')));
    QVERIFY(test_support::write_file(root + "/sub/deeper/b.bin", QByteArray(2000, 'b')));
    QVERIFY(test_support::write_file(root + "/.hidden", QByteArray(500, 'h')));
    QVERIFY(test_support::write_file(dir.path() + "/outside/c.bin", QByteArray(7000, 'c')));
    QVERIFY(QFile::link(root + "/a.txt", root + "/link_to_file"));
    QVERIFY(QFile::link(dir.path() + "/outside", root + "/link_to_dir"));

    QCOMPARE(plugin_static_function::mining_size(root + "/a.txt"), QString("10"));
    // Hidden entries and symbolic links are not counted, linked folders not entered.
    QCOMPARE(plugin_static_function::mining_size(root), QString("2010"));
    QCOMPARE(plugin_static_function::mining_size(root + "/missing"), QString());

    QTemporaryDir empty;
    QCOMPARE(plugin_static_function::mining_size(empty.path()), QString("0"));
}

void tst_date_time_conversions::size_walk_stops_on_cancel()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(test_support::write_file(dir.path() + "/a.bin", QByteArray(3000, 'a')));
    QVERIFY(test_support::write_file(dir.path() + "/sub/b.bin", QByteArray(5000, 'b')));

    plugin_static_function::set_cancel_extraction(true);
    // A cancelled walk gives the size the file system reports for the folder entry itself.
    QCOMPARE(plugin_static_function::mining_size(dir.path()), QString::number(stat_size(dir.path())));
    // A single file is no walk.
    QCOMPARE(plugin_static_function::mining_size(dir.path() + "/a.bin"), QString("3000"));
}

void tst_date_time_conversions::apple_time_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zero means none") << "0"
                                     << "";
    QTest::newRow("empty") << "  "
                           << "";
    QTest::newRow("zero with fraction") << "0.0"
                                        << "978307200";
    QTest::newRow("double zero") << "00"
                                 << "978307200";
    QTest::newRow("fraction dropped") << "572000000.75"
                                      << "1550307200";
    QTest::newRow("before 2001") << "-1"
                                 << "978307199";
    QTest::newRow("blanks around") << " 572000000 "
                                   << "1550307200";
    QTest::newRow("after 2038") << "1200000000"
                                << "2178307200";
    QTest::newRow("not a number") << "abc"
                                  << "";
    QTest::newRow("garbage fraction") << "572000000.x5"
                                      << "";
    QTest::newRow("two dots") << "1.2.3"
                              << "";
    QTest::newRow("beyond 64 bits") << "99999999999999999999"
                                    << "";
}

void tst_date_time_conversions::apple_time()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(plugin_static_function::convert_apple_time_to_epoch(input), expected);
}

void tst_date_time_conversions::us_style_dates_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    // Wall clock 2019-03-05 10:20:30 is 15:20:30 UTC in New York (EST, before the March change).
    QTest::newRow("AM UTC") << "Mar 5, 2019, 10:20:30 AM UTC"
                            << "1551781230";
    QTest::newRow("PM UTC") << "Mar 5, 2019, 10:20:30 PM UTC"
                            << "1551824430";
    QTest::newRow("midnight UTC") << "Mar 5, 2019, 12:00:00 AM UTC"
                                  << "1551744000";
    QTest::newRow("after 2038") << "Mar 5, 2039, 10:20:30 AM UTC"
                                << "2182933230";
    QTest::newRow("other zone word is local") << "Mar 5, 2019, 10:20:30 AM GMT"
                                              << "1551799230";
    QTest::newRow("no zone word is local") << "Mar 5, 2019, 10:20:30 AM"
                                           << "1551799230";
    QTest::newRow("not a date") << "yesterday AM UTC"
                                << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("blanks") << "   "
                            << "";
    QTest::newRow("bad day") << "Mar 32, 2019, 10:20:30 AM UTC"
                             << "";
}

void tst_date_time_conversions::us_style_dates()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    pin_machine_zone(new_york_zone);
    QCOMPARE(plugin_static_function::convert_human_readable_to_epoch_1(input), expected);
}

void tst_date_time_conversions::log_stamps_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plus offset") << "2019-03-05 10:20:30.123 +0530"
                                 << "1551761430";
    QTest::newRow("minus offset, no blank") << "2019-03-05 10:20:30.123-0800"
                                            << "1551810030";
    QTest::newRow("zero offset") << "2019-03-05 10:20:30.999 +0000"
                                 << "1551781230";
    QTest::newRow("without fraction") << "2019-03-05 10:20:30 +0530"
                                      << "1551761430";
    QTest::newRow("after 2038") << "2039-03-05 10:20:30.000 +0000"
                                << "2182933230";
    // The dashes of the date are no offset.
    QTest::newRow("no offset") << "2019-03-05 10:20:30.123"
                               << "";
    QTest::newRow("offset with colon") << "2019-03-05 10:20:30.123 +05:30"
                                       << "";
    QTest::newRow("zero") << "0"
                          << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("not a date") << "garbage.5 +0000"
                                << "";
}

void tst_date_time_conversions::log_stamps()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    pin_machine_zone(new_york_zone);
    QCOMPARE(plugin_static_function::convert_human_readable_to_epoch_2(input), expected);
}

void tst_date_time_conversions::mail_dates_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("GMT") << "Tue, 05 Mar 2019 10:20:30 GMT"
                         << "1551781230";
    QTest::newRow("offset ignored") << "Tue, 05 Mar 2019 10:20:30 +0500"
                                    << "1551781230";
    QTest::newRow("no weekday") << "05 Mar 2019 10:20:30 GMT"
                                << "1551781230";
    QTest::newRow("after 2038") << "Sat, 05 Mar 2039 10:20:30 GMT"
                                << "2182933230";
    QTest::newRow("zero") << "0"
                          << "";
    QTest::newRow("empty") << " "
                           << "";
    QTest::newRow("not a date") << "Tue, the fifth of March"
                                << "";
}

void tst_date_time_conversions::mail_dates()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    pin_machine_zone(new_york_zone);
    QCOMPARE(plugin_static_function::convert_human_readable_to_epoch_3(input), expected);
}

void tst_date_time_conversions::utc_wall_clock_survives_local_gap()
{
    // 02:30 on 2019-03-31 does not exist in Berlin; read as UTC it is a plain instant.
    pin_machine_zone(berlin_zone);
    QCOMPARE(plugin_static_function::convert_human_readable_to_epoch_1("Mar 31, 2019, 2:30:00 AM UTC"),
             QString("1553999400"));
    QCOMPARE(plugin_static_function::convert_human_readable_to_epoch_2("2019-03-31 02:30:00.000 +0000"),
             QString("1553999400"));
    QCOMPARE(plugin_static_function::convert_human_readable_to_epoch_3("Sun, 31 Mar 2019 02:30:00 GMT"),
             QString("1553999400"));
    // As local time it names no instant at all.
    QCOMPARE(plugin_static_function::convert_human_readable_to_epoch_1("Mar 31, 2019, 2:30:00 AM CET"),
             QString());
}

void tst_date_time_conversions::zone_offsets_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("expected");
    QTest::newRow("hours and minutes") << "0530" << 19800;
    QTest::newRow("colon spoils minutes") << "05:30" << 18000;
    QTest::newRow("ten hours") << "1000" << 36000;
    QTest::newRow("sign joins the hours") << "+0530" << 31800;
    QTest::newRow("not digits") << "abcd" << 0;
    QTest::newRow("empty") << "" << 0;
}

void tst_date_time_conversions::zone_offsets()
{
    QFETCH(QString, input);
    QFETCH(int, expected);
    QCOMPARE(plugin_static_function::convert_timezone_to_seconds(input), expected);
}

void tst_date_time_conversions::utc_rendering_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("fraction dropped") << "1551781230.5"
                                      << "05-Mar-2019 10:20:30";
    QTest::newRow("before 1970") << "-86400"
                                 << "31-Dec-1969 00:00:00";
    QTest::newRow("zero") << "0"
                          << "";
    QTest::newRow("empty") << "  "
                           << "";
    QTest::newRow("not a number") << "abc"
                                  << "";
    QTest::newRow("first second past 32 bits") << "2147483648"
                                               << "19-Jan-2038 03:14:08";
    QTest::newRow("beyond the calendar") << "9223372036854775807"
                                         << "";
}

void tst_date_time_conversions::utc_rendering()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    pin_machine_zone(new_york_zone);
    QCOMPARE(plugin_static_function::convert_timestamp_to_human_readable_in_UTC(input), expected);
}

void tst_date_time_conversions::iso_dates()
{
    pin_machine_zone(new_york_zone);
    const QDateTime expected(QDate(2019, 3, 5), QTime(4, 50, 30), QTimeZone::utc());

    const QDateTime blank_offset =
        plugin_static_function::get_datetime_from_string_with_iso_date(" 2019-03-05 10:20:30 +0530 ");
    QVERIFY(blank_offset.isValid());
    QCOMPARE(blank_offset.toUTC(), expected);

    const QDateTime plain =
        plugin_static_function::get_datetime_from_string_with_iso_date("2019-03-05T10:20:30+05:30");
    QCOMPARE(plain.toUTC(), expected);

    QVERIFY(!plugin_static_function::get_datetime_from_string_with_iso_date("two words").isValid());
    QVERIFY(!plugin_static_function::get_datetime_from_string_with_iso_date("not a date at all").isValid());
    QVERIFY(!plugin_static_function::get_datetime_from_string_with_iso_date("").isValid());
}

void tst_date_time_conversions::iso_date_log_lines()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString log = dir.path() + "/debug.log";
    test_support::log_into(log);

    plugin_static_function::get_datetime_from_string_with_iso_date("2019-03-05T10:20:30Z");
    plugin_static_function::get_datetime_from_string_with_iso_date("two words");
    plugin_static_function::get_datetime_from_string_with_iso_date("2019-03-05 10:20:30 +0530");
    plugin_static_function::close_debug_file();

    QCOMPARE(test_support::log_texts(log), QStringList({"Start ", "Start ", "Start ", "End "}));
    QVERIFY(test_support::read_file(log).contains(
        "plugin_static_function::get_datetime_from_string_with_iso_date]"));
    plugin_static_function::set_essentials();
}

void tst_date_time_conversions::posix_times_of_a_file()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString prefix = dir.path() + "/";
    QVERIFY(test_support::write_file(prefix + "evidence.txt", "x"));
    QVERIFY(set_file_times(prefix + "evidence.txt", {1000000000, 700000000}, {2200000000, 0}));

    const struct_GLOBAL_ARTIFACT_posix_timestamps times =
        plugin_static_function::get_posix_timestamp("evidence.txt", prefix);
    QCOMPARE(times.access_time, qint64(1000000000));
    QCOMPARE(times.modification_time, qint64(2200000000));
    QCOMPARE(times.birth_time, statx_birth_seconds(prefix + "evidence.txt"));

    // Milliseconds before 1970 are divided toward zero: -1.5 s is -1.
    QVERIFY(set_file_times(prefix + "evidence.txt", {-2, 500000000}, {-2, 500000000}));
    const struct_GLOBAL_ARTIFACT_posix_timestamps early =
        plugin_static_function::get_posix_timestamp(" evidence.txt ", prefix);
    QCOMPARE(early.access_time, qint64(-1));
    QCOMPARE(early.modification_time, qint64(-1));
}

void tst_date_time_conversions::posix_times_kept_nowhere()
{
    // Files of /proc carry no birth time.
    if (statx_birth_seconds("/proc/self/status") != 0)
        QSKIP("/proc keeps birth times on this kernel");
    const struct_GLOBAL_ARTIFACT_posix_timestamps times =
        plugin_static_function::get_posix_timestamp("self/status", "/proc/");
    QCOMPARE(times.birth_time, qint64(0));
    QVERIFY(times.modification_time > 0);
}

void tst_date_time_conversions::posix_times_refused_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("prefix");
    const QString existing = test_support::test_data("sample_takeout/Calendar/Birthdays.ics");
    QTest::newRow("empty prefix, existing path") << existing << "";
    QTest::newRow("blank prefix") << existing << "  ";
    QTest::newRow("empty path") << ""
                                << "/";
    QTest::newRow("missing file") << "no/such/file"
                                  << "/";
}

void tst_date_time_conversions::posix_times_refused()
{
    QFETCH(QString, path);
    QFETCH(QString, prefix);
    const struct_GLOBAL_ARTIFACT_posix_timestamps times =
        plugin_static_function::get_posix_timestamp(path, prefix);
    QCOMPARE(times.birth_time, qint64(0));
    QCOMPARE(times.access_time, qint64(0));
    QCOMPARE(times.modification_time, qint64(0));
}

QTEST_MAIN(tst_date_time_conversions)
#include "tst_date_time_conversions.moc"
