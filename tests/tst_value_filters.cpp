// Value filters for printed property-list values, "\U" decoding, list difference and the
// short operating-system version.

#include "tests/test_support.h"

#include <QTemporaryDir>
#include <QtTest>

namespace
{
const QString number_prefix = "<CFNumber 0xb000000000000053 [0x7fff8f6a1ef0]>";
const QString boolean_prefix = "<CFBoolean 0x7fff8f6a1e20 [0x7fff8f6a1ef0]>";
const QString string_prefix = "<CFString 0x600000c8c0f0 [0x7fff8f6a1ef0]>";

// An array printed the platform's way: "(" line, one entry a line with four blanks, ")" line.
QString printed_array(const QStringList& entries)
{
    QStringList lines;
    for (const QString& entry : entries)
        lines << "    " + entry;
    return "(\n" + lines.join(",\n") + "\n)";
}
} // namespace

class tst_value_filters : public QObject
{
    Q_OBJECT

  private slots:
    void cleanup();

    void number_value_data();
    void number_value();
    void boolean_value_data();
    void boolean_value();
    void cfstring_value_data();
    void cfstring_value();
    void wherefrom_value_data();
    void wherefrom_value();
    void string_value_data();
    void string_value();
    void date_value_data();
    void date_value();

    void unicode_data();
    void unicode();
    void unicode_log_lines();

    void unmatched_entries_data();
    void unmatched_entries();
    void os_scan_version_data();
    void os_scan_version();

    void cancel_stops_the_loops();
};

void tst_value_filters::cleanup()
{
    plugin_static_function::set_cancel_extraction(false);
}

void tst_value_filters::number_value_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("positive") << "{value = +42, type = kCFNumberSInt32Type}"
                              << "42";
    QTest::newRow("negative keeps its sign") << "{value = -5, type = kCFNumberSInt32Type}"
                                             << "-5";
    QTest::newRow("with type prefix") << number_prefix + "{value = +5, type = kCFNumberSInt64Type}"
                                      << "5";
    QTest::newRow("negative with type prefix")
        << number_prefix + "{value = -12.5, type = kCFNumberFloat64Type}"
        << "-12.5";
    QTest::newRow("bare number") << "42"
                                 << "";
    QTest::newRow("no sign") << "{value = 42, type = kCFNumberSInt32Type}"
                             << "";
    QTest::newRow("empty") << "  "
                           << "";
}

void tst_value_filters::number_value()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(plugin_static_function::get_filtered_number_value(input), expected);
}

void tst_value_filters::boolean_value_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("true") << boolean_prefix + "{value = true}"
                          << "true";
    QTest::newRow("false, blanks around") << "  " + boolean_prefix + "{value = false}\n"
                                          << "false";
    QTest::newRow("no type prefix") << "{value = true}"
                                    << "";
    QTest::newRow("no value slot") << boolean_prefix + "{true}"
                                   << "";
    QTest::newRow("empty") << ""
                           << "";
}

void tst_value_filters::boolean_value()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(plugin_static_function::get_filtered_boolean_value(input), expected);
}

void tst_value_filters::cfstring_value_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("file name") << string_prefix + "{contents = \"Report.pdf\"}"
                               << "Report.pdf";
    QTest::newRow("contents hold =") << string_prefix + "{contents = \"a=b\"}"
                                     << "a=b";
    QTest::newRow("query string") << string_prefix + "{contents = \"x?id=1&n=2\"}"
                                  << "x?id=1&n=2";
    QTest::newRow("empty contents") << string_prefix + "{contents = \"\"}"
                                    << "";
    QTest::newRow("no type prefix") << "{contents = \"Report.pdf\"}"
                                    << "";
    QTest::newRow("empty") << " "
                           << "";
}

void tst_value_filters::cfstring_value()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(plugin_static_function::get_filtered_cfstring_value(input), expected);
}

void tst_value_filters::wherefrom_value_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("two origins") << printed_array({"\"a%20b.zip\"", "\"c/d\""}) << "a b.zip;c/d";
    QTest::newRow("one origin") << printed_array({"\"https://example.com/f.dmg\""})
                                << "https://example.com/f.dmg";
    QTest::newRow("escaped apostrophe") << printed_array({"\"Bob\\U2019s page\""}) << "Bob's page";
    QTest::newRow("UTF-8 escapes") << printed_array({"\"caf%C3%A9\""}) << "café";
    QTest::newRow("stray percent kept") << printed_array({"\"100%zz\""}) << "100%zz";
    QTest::newRow("angle brackets") << printed_array({"\"<mail@example.com>\""}) << "(mail@example.com)";
    QTest::newRow("empty") << "  \n"
                           << "";
}

void tst_value_filters::wherefrom_value()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(plugin_static_function::get_filtered_wherefrom_value(input), expected);
}

void tst_value_filters::string_value_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty pieces kept") << "a,,b"
                                       << "a;;b";
    QTest::newRow("printed array") << printed_array({"\"a\"", "b"}) << "a;b";
    QTest::newRow("single value") << "(\"only\")"
                                  << "only";
    QTest::newRow("empty") << " "
                           << "";
}

void tst_value_filters::string_value()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(plugin_static_function::get_filtered_string_value(input), expected);
}

void tst_value_filters::date_value_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("UTC") << "2019-03-05 10:20:30 +0000"
                         << "1551781230";
    QTest::newRow("offset dropped") << "2019-03-05 10:20:30 +0530"
                                    << "1551781230";
    QTest::newRow("ISO with T") << "2019-03-05T10:20:30Z"
                                << "1551781230";
    QTest::newRow("after 2038") << "2039-03-05 10:20:30 +0000"
                                << "2182933230";
    QTest::newRow("first nine-digit value") << "1973-03-03 09:46:40 +0000"
                                            << "100000000";
    QTest::newRow("last eight-digit value") << "1973-03-03 09:46:39 +0000"
                                            << "";
    QTest::newRow("too close to 1970") << "1970-01-02 00:00:00 +0000"
                                       << "";
    QTest::newRow("before 1970 is no 0") << "1969-01-01 00:00:00 +0000"
                                         << "";
    QTest::newRow("not a date") << "not a date"
                                << "";
    QTest::newRow("empty") << ""
                           << "";
}

void tst_value_filters::date_value()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    qputenv("TZ", "EST5EDT,M3.2.0,M11.1.0");
    tzset();
    QCOMPARE(plugin_static_function::get_filtered_date_value(input), expected);
    qunsetenv("TZ");
    tzset();
}

void tst_value_filters::unicode_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("apostrophe") << "Apple\\U2019s" << QString("Apple") + QChar(0x2019) + "s";
    QTest::newRow("accent") << "caf\\U00e9"
                            << "café";
    QTest::newRow("upper-case digits") << "caf\\U00E9"
                                       << "café";
    QTest::newRow("repeated escape") << "\\U00e9t\\U00e9"
                                     << "été";
    QTest::newRow("surrogate pair") << "\\Ud83d\\Ude00!" << QString::fromUtf8("\xF0\x9F\x98\x80!");
    QTest::newRow("no escapes") << " no escapes "
                                << "no escapes";
    QTest::newRow("lower-case u is no escape") << "caf\\u00e9"
                                               << "caf\\u00e9";
    QTest::newRow("path stays intact") << "C:\\Users\\Alex"
                                       << "C:\\Users\\Alex";
    QTest::newRow("short group at the end") << "end\\U00e"
                                            << "end\\U00e";
    QTest::newRow("empty") << "  "
                           << "";
}

void tst_value_filters::unicode()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(plugin_static_function::convert_string_to_unicode(input), expected);
}

void tst_value_filters::unicode_log_lines()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString log = dir.path() + "/debug.log";
    test_support::log_into(log);
    plugin_static_function::convert_string_to_unicode("caf\\U00e9");
    plugin_static_function::convert_string_to_unicode("   ");
    plugin_static_function::close_debug_file();

    QCOMPARE(test_support::log_texts(log), QStringList({" : running", " : infinite loop cross"}));
    QVERIFY(test_support::read_file(log).contains("plugin_static_function::convert_string_to_unicode]"));
    plugin_static_function::set_essentials();
}

void tst_value_filters::unmatched_entries_data()
{
    QTest::addColumn<QStringList>("parent");
    QTest::addColumn<QStringList>("other");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("repeats kept") << QStringList{"a", "b", "a", "c"} << QStringList{"b"}
                                  << QStringList{"a", "a", "c"};
    QTest::newRow("case-sensitive") << QStringList{"A", "a"} << QStringList{"a"} << QStringList{"A"};
    QTest::newRow("all matched") << QStringList{"a"} << QStringList{"a", "b"} << QStringList{};
    QTest::newRow("empty other") << QStringList{"x", "y"} << QStringList{} << QStringList{"x", "y"};
}

void tst_value_filters::unmatched_entries()
{
    QFETCH(QStringList, parent);
    QFETCH(QStringList, other);
    QFETCH(QStringList, expected);
    QCOMPARE(plugin_static_function::get_unmatched_varible_list_of_parentlist(parent, other), expected);
}

void tst_value_filters::os_scan_version_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("expected");
    QTest::newRow("macOS 10") << "macOS"
                              << "10.15.7"
                              << "10_15_7";
    QTest::newRow("macOS 12") << "macOS"
                              << "12.6.1"
                              << "12";
    QTest::newRow("iOS") << "iOS"
                         << "14.4.1"
                         << "14";
    QTest::newRow("winOS") << "winOS"
                           << "10.0.19045"
                           << "10";
    QTest::newRow("other scheme") << "iOS_UID"
                                  << "14.4.1"
                                  << "14_4_1";
    QTest::newRow("scheme case matters") << "macos"
                                         << "12.6.1"
                                         << "12_6_1";
    QTest::newRow("no version") << "macOS"
                                << ""
                                << "";
}

void tst_value_filters::os_scan_version()
{
    QFETCH(QString, scheme);
    QFETCH(QString, version);
    QFETCH(QString, expected);
    struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_source_info info;
    info.os_version_full = version;
    plugin_static_function::set_source_info(info);
    QCOMPARE(plugin_static_function::get_source_os_scan_version(scheme), expected);
}

void tst_value_filters::cancel_stops_the_loops()
{
    plugin_static_function::set_cancel_extraction(true);
    QCOMPARE(plugin_static_function::get_filtered_string_value("a,b"), QString());
    QCOMPARE(plugin_static_function::convert_string_to_unicode("caf\\U00e9"), QString());
    QCOMPARE(plugin_static_function::convert_string_to_unicode("no escapes"), QString());
    QCOMPARE(plugin_static_function::get_unmatched_varible_list_of_parentlist({"a", "b"}, {}),
             QList<QString>());

    // The filters without a loop do not look at the flag.
    QCOMPARE(plugin_static_function::get_filtered_boolean_value(boolean_prefix + "{value = true}"),
             QString("true"));

    plugin_static_function::set_cancel_extraction(false);
    QCOMPARE(plugin_static_function::get_filtered_string_value("a,b"), QString("a;b"));
}

QTEST_MAIN(tst_value_filters)
#include "tst_value_filters.moc"
