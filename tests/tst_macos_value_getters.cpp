// macOS object value getters on the portable value layer: dictionary lookups, number rendering,
// the boolean class test, labelled and array forms, dates, pools and the used dates of a file.

#include "support/macos_values/macos_autorelease_pool.h"
#include "support/macos_values/macos_dictionary.h"
#include "support/macos_values/macos_metadata_item.h"
#include "support/macos_values/macos_value.h"
#include "tests/test_support.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <sys/xattr.h>

namespace
{
// One dictionary with a value of every kind the getters meet.
macos_dictionary sample_dictionary()
{
    const QDateTime instant(QDate(2019, 3, 5), QTime(10, 20, 30), QTimeZone::utc());
    macos_dictionary dictionary;
    dictionary.insert("name", macos_value::from_string("  Alex Example \n"));
    dictionary.insert("empty_text", macos_value::from_string(""));
    dictionary.insert("two_point_nine", macos_value::from_number(2.9));
    dictionary.insert("minus_two_point_nine", macos_value::from_number(-2.9));
    dictionary.insert("minus_half", macos_value::from_number(-0.5));
    dictionary.insert("large", macos_value::from_number(1e15));
    dictionary.insert("not_a_number", macos_value::from_number(std::nan("")));
    dictionary.insert("zero", macos_value::from_number(0));
    dictionary.insert("one", macos_value::from_number(1));
    dictionary.insert("five", macos_value::from_number(5));
    dictionary.insert("true", macos_value::from_boolean(true));
    dictionary.insert("false", macos_value::from_boolean(false));
    dictionary.insert(
        "tags", macos_value::from_array({macos_value::from_string("a"), macos_value::from_string("b")}));
    dictionary.insert("padded_tags", macos_value::from_array(
                                         {macos_value::from_string(" a "), macos_value::from_string("b\n")}));
    dictionary.insert("no_tags", macos_value::from_array({}));
    dictionary.insert(
        "mixed", macos_value::from_array({macos_value::from_string("a"), macos_value::from_number(5),
                                          macos_value::from_boolean(true), macos_value::from_date(instant)}));
    dictionary.insert("date", macos_value::from_date(instant));
    return dictionary;
}

enum class getter
{
    string_value,
    number_value,
    yes_no,
    labelled_yes_no,
    labelled_string,
    labelled_number,
    labelled_array
};

QString call(getter which, void* key, void* dictionary, const QString& label)
{
    switch (which)
    {
    case getter::string_value:
        return plugin_static_function::get_nsstring_values(key, dictionary);
    case getter::number_value:
        return plugin_static_function::get_nsnumber_values(key, dictionary);
    case getter::yes_no:
        return plugin_static_function::get_nsnumber_values_yes_no(key, dictionary);
    case getter::labelled_yes_no:
        return plugin_static_function::get_nsnumber_key_and_value_yes_no(key, dictionary, label);
    case getter::labelled_string:
        return plugin_static_function::get_nsstring_key_and_values(key, dictionary, label);
    case getter::labelled_number:
        return plugin_static_function::get_nsnumber_key_and_values(key, dictionary, label);
    case getter::labelled_array:
        return plugin_static_function::get_nsarray_key_and_values(key, dictionary, label);
    }
    return "<unknown getter>";
}

// Sets one user extended attribute; false with errno when the file system refuses.
bool set_attribute(const QString& path, const char* name, const QByteArray& value)
{
    return setxattr(QFile::encodeName(path).constData(), name, value.constData(), size_t(value.size()), 0) ==
           0;
}

void pin_machine_zone(const QByteArray& zone)
{
    qputenv("TZ", zone);
    tzset();
}
} // namespace

Q_DECLARE_METATYPE(getter)

#define SET_ATTRIBUTES_OR_SKIP(path, ...)                                                                    \
    do                                                                                                       \
    {                                                                                                        \
        const attributes_outcome outcome = file_with_attributes(path, __VA_ARGS__);                          \
        if (outcome == attributes_outcome::refused)                                                          \
            QSKIP("the temporary file system refuses user extended attributes");                             \
        QVERIFY2(outcome == attributes_outcome::set, "could not write the test file or its attributes");     \
    } while (false)

class tst_macos_value_getters : public QObject
{
    Q_OBJECT

  private slots:
    void cleanup();

    void getters_data();
    void getters();
    void missing_key_and_dictionary();
    void array_getter_stops_on_cancel();
    void every_getter_drains_its_pool();
    void platform_strings();

    void dates_data();
    void dates();
    void date_keeps_its_instant_in_an_overlap();

    void metadata_item_prints_platform_shapes();
    void used_dates_of_a_file();
    void used_dates_without_attributes();
    void used_dates_that_do_not_parse();
    void used_dates_stop_on_cancel();

  private:
    enum class attributes_outcome
    {
        set,
        refused,
        failed
    };
    // A temporary file with the given user extended attributes.
    attributes_outcome file_with_attributes(const QString& path,
                                            const QList<QPair<const char*, QByteArray>>& attributes);
    QTemporaryDir dir_QTemporaryDir;
};

void tst_macos_value_getters::cleanup()
{
    plugin_static_function::set_cancel_extraction(false);
    qunsetenv("TZ");
    tzset();
    QLocale::setDefault(QLocale::c());
}

void tst_macos_value_getters::getters_data()
{
    QTest::addColumn<getter>("which");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    QTest::newRow("string, trimmed") << getter::string_value << "name"
                                     << "Alex Example";
    QTest::newRow("string asked of a number") << getter::string_value << "five"
                                              << "";
    QTest::newRow("string asked of an array") << getter::string_value << "tags"
                                              << "";

    QTest::newRow("number truncated") << getter::number_value << "two_point_nine"
                                      << "2";
    QTest::newRow("negative number toward zero") << getter::number_value << "minus_two_point_nine"
                                                 << "-2";
    QTest::newRow("no negative zero") << getter::number_value << "minus_half"
                                      << "0";
    QTest::newRow("large number") << getter::number_value << "large"
                                  << "1000000000000000";
    QTest::newRow("not a number") << getter::number_value << "not_a_number"
                                  << "";
    QTest::newRow("boolean as number") << getter::number_value << "true"
                                       << "1";
    QTest::newRow("number asked of a string") << getter::number_value << "name"
                                              << "";

    QTest::newRow("boolean true") << getter::yes_no << "true"
                                  << "YES";
    QTest::newRow("boolean false") << getter::yes_no << "false"
                                   << "NO";
    QTest::newRow("number 1 is no boolean") << getter::yes_no << "one"
                                            << "";
    QTest::newRow("number 0 is no boolean") << getter::yes_no << "zero"
                                            << "";
    QTest::newRow("yes/no asked of a string") << getter::yes_no << "name"
                                              << "";

    QTest::newRow("labelled boolean") << getter::labelled_yes_no << "true"
                                      << "Locked:+:YES";
    QTest::newRow("labelled number 1") << getter::labelled_yes_no << "one"
                                       << "Locked:+:YES";
    QTest::newRow("labelled number 0") << getter::labelled_yes_no << "zero"
                                       << "Locked:+:NO";
    QTest::newRow("labelled number 5") << getter::labelled_yes_no << "five"
                                       << "Locked:+:";
    QTest::newRow("labelled yes/no of a string") << getter::labelled_yes_no << "name"
                                                 << "";

    QTest::newRow("labelled string") << getter::labelled_string << "name"
                                     << "Locked:+:Alex Example";
    QTest::newRow("labelled empty string") << getter::labelled_string << "empty_text"
                                           << "Locked:+:";
    QTest::newRow("labelled string of a number") << getter::labelled_string << "five"
                                                 << "";

    QTest::newRow("labelled number") << getter::labelled_number << "minus_two_point_nine"
                                     << "Locked:+:-2";
    QTest::newRow("labelled number of a string") << getter::labelled_number << "name"
                                                 << "";

    QTest::newRow("array") << getter::labelled_array << "tags"
                           << "Locked:+:a;b";
    QTest::newRow("array entries trimmed") << getter::labelled_array << "padded_tags"
                                           << "Locked:+:a;b";
    QTest::newRow("empty array") << getter::labelled_array << "no_tags"
                                 << "Locked:+:";
    QTest::newRow("entries of other kinds printed") << getter::labelled_array << "mixed"
                                                    << "Locked:+:a;5;1;2019-03-05 10:20:30 +0000";
    QTest::newRow("array asked of a string") << getter::labelled_array << "name"
                                             << "";
}

void tst_macos_value_getters::getters()
{
    QFETCH(getter, which);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    macos_dictionary dictionary = sample_dictionary();
    macos_value key_value = macos_value::from_string(key);
    QCOMPARE(call(which, &key_value, &dictionary, "Locked"), expected);
}

void tst_macos_value_getters::missing_key_and_dictionary()
{
    macos_dictionary dictionary = sample_dictionary();
    macos_value absent = macos_value::from_string("absent");
    macos_value present = macos_value::from_string("true");
    macos_value number_key = macos_value::from_number(1);
    const QList<getter> all = {getter::string_value,    getter::number_value,    getter::yes_no,
                               getter::labelled_yes_no, getter::labelled_string, getter::labelled_number,
                               getter::labelled_array};
    for (const getter which : all)
    {
        QCOMPARE(call(which, &absent, &dictionary, "Label"), QString());
        QCOMPARE(call(which, nullptr, &dictionary, "Label"), QString());
        QCOMPARE(call(which, &present, nullptr, "Label"), QString());
        QCOMPARE(call(which, &number_key, &dictionary, "Label"), QString());
    }
}

void tst_macos_value_getters::array_getter_stops_on_cancel()
{
    macos_dictionary dictionary = sample_dictionary();
    macos_value tags = macos_value::from_string("tags");
    macos_value empty = macos_value::from_string("no_tags");
    plugin_static_function::set_cancel_extraction(true);
    QCOMPARE(plugin_static_function::get_nsarray_key_and_values(&tags, &dictionary, "Tags"), QString());
    // No entry, no check.
    QCOMPARE(plugin_static_function::get_nsarray_key_and_values(&empty, &dictionary, "Tags"),
             QString("Tags:+:"));
    QCOMPARE(macos_autorelease_pool::open_count(), 0);
}

void tst_macos_value_getters::every_getter_drains_its_pool()
{
    macos_dictionary dictionary = sample_dictionary();
    macos_value key = macos_value::from_string("tags");
    const QList<getter> all = {getter::string_value,    getter::number_value,    getter::yes_no,
                               getter::labelled_yes_no, getter::labelled_string, getter::labelled_number,
                               getter::labelled_array};
    for (const getter which : all)
    {
        const qint64 before = macos_autorelease_pool::created_count();
        call(which, &key, &dictionary, "Label");
        QCOMPARE(macos_autorelease_pool::created_count(), before + 1);
        QCOMPARE(macos_autorelease_pool::open_count(), 0);
    }

    const qint64 before = macos_autorelease_pool::created_count();
    plugin_static_function::extract_used_date(dir_QTemporaryDir.path() + "/none");
    QCOMPARE(macos_autorelease_pool::created_count(), before + 1);
    const macos_value date = macos_value::from_date(QDateTime::currentDateTimeUtc());
    plugin_static_function::convert_nsdate_to_epoch(date.date_object(), date.object());
    QCOMPARE(macos_autorelease_pool::created_count(), before + 1);
    QCOMPARE(macos_autorelease_pool::open_count(), 0);
}

void tst_macos_value_getters::platform_strings()
{
    const macos_value text = macos_value::from_string(QString::fromUtf8(" caf\xC3\xA9 "));
    QCOMPARE(plugin_static_function::convert_cfstring_to_qstring(text.string_object()),
             QString::fromUtf8(" caf\xC3\xA9 "));
    QCOMPARE(plugin_static_function::convert_cfstring_to_qstring(nullptr), QString());
    const macos_value number = macos_value::from_number(3);
    QCOMPARE(plugin_static_function::convert_cfstring_to_qstring(number.string_object()), QString());
}

void tst_macos_value_getters::dates_data()
{
    QTest::addColumn<QDateTime>("instant");
    QTest::addColumn<bool>("object_is_date");
    QTest::addColumn<qint64>("expected");
    const QDate day(2019, 3, 5);
    QTest::newRow("whole seconds") << QDateTime(day, QTime(10, 20, 30), QTimeZone::utc()) << true
                                   << qint64(1551781230);
    QTest::newRow("fraction dropped")
        << QDateTime(day, QTime(10, 20, 30, 750), QTimeZone::utc()) << true << qint64(1551781230);
    QTest::newRow("zoned date") << QDateTime(day, QTime(15, 50, 30), QTimeZone(5 * 3600 + 1800)) << true
                                << qint64(1551781230);
    QTest::newRow("after 2038") << QDateTime(QDate(2039, 3, 5), QTime(10, 20, 30), QTimeZone::utc()) << true
                                << qint64(2182933230);
    QTest::newRow("before 1970, toward zero")
        << QDateTime::fromMSecsSinceEpoch(-1500, QTimeZone::utc()) << true << qint64(-1);
    QTest::newRow("object is no date")
        << QDateTime(day, QTime(10, 20, 30), QTimeZone::utc()) << false << qint64(0);
}

void tst_macos_value_getters::dates()
{
    QFETCH(QDateTime, instant);
    QFETCH(bool, object_is_date);
    QFETCH(qint64, expected);
    // Neither the machine zone nor the locale may matter.
    pin_machine_zone("EST5EDT,M3.2.0,M11.1.0");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));

    const macos_value date = macos_value::from_date(instant);
    const macos_value other = macos_value::from_string("2019-03-05");
    const macos_object* object = object_is_date ? date.object() : other.object();
    QCOMPARE(plugin_static_function::convert_nsdate_to_epoch(date.date_object(), object), expected);
    QCOMPARE(plugin_static_function::convert_nsdate_to_epoch(nullptr, date.object()), qint64(0));
}

void tst_macos_value_getters::date_keeps_its_instant_in_an_overlap()
{
    // 2019-10-27 02:30 happens twice in Berlin; both instants must come back as they were.
    pin_machine_zone("CET-1CEST,M3.5.0,M10.5.0/3");
    for (const qint64 seconds : {qint64(1572136200), qint64(1572139800)})
    {
        const macos_value date =
            macos_value::from_date(QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc()));
        QCOMPARE(plugin_static_function::convert_nsdate_to_epoch(date.date_object(), date.object()), seconds);
    }
}

tst_macos_value_getters::attributes_outcome
tst_macos_value_getters::file_with_attributes(const QString& path,
                                              const QList<QPair<const char*, QByteArray>>& attributes)
{
    if (!test_support::write_file(path, "content"))
        return attributes_outcome::failed;
    for (const auto& attribute : attributes)
    {
        if (!set_attribute(path, attribute.first, attribute.second))
            return errno == ENOTSUP || errno == EPERM ? attributes_outcome::refused
                                                      : attributes_outcome::failed;
    }
    return attributes_outcome::set;
}

void tst_macos_value_getters::metadata_item_prints_platform_shapes()
{
    const QString path = dir_QTemporaryDir.path() + "/shapes.txt";
    SET_ATTRIBUTES_OR_SKIP(
        path, {{"user.kMDItemLastUsedDate", " 2019-03-05 10:20:30 +0000\n"},
               {"user.kMDItemUsedDates", "2019-03-04 00:00:00 +0000\n\n2019-03-05 00:00:00 +0000"}});
    const QString printed_dates =
        "(\n    \"2019-03-04 00:00:00 +0000\",\n    \"2019-03-05 00:00:00 +0000\"\n)";

    const macos_metadata_item item(path);
    QVERIFY(item.is_valid());
    QString printed;
    QVERIFY(item.attribute_description("kMDItemLastUsedDate", &printed));
    QCOMPARE(printed, QString("2019-03-05 10:20:30 +0000"));
    QVERIFY(item.attribute_description("kMDItemUsedDates", &printed));
    QCOMPARE(printed, printed_dates);
    QVERIFY(!item.attribute_description("kMDItemWhereFroms", &printed));
    QVERIFY(!macos_metadata_item(dir_QTemporaryDir.path() + "/missing").is_valid());
    QVERIFY(!macos_metadata_item(QString()).is_valid());

    // An array of date values prints the same way, and the value filters read that shape.
    const QList<macos_value> dates = {
        macos_value::from_date(QDateTime(QDate(2019, 3, 4), QTime(0, 0), QTimeZone::utc())),
        macos_value::from_date(QDateTime(QDate(2019, 3, 5), QTime(5, 30), QTimeZone(5 * 3600 + 1800)))};
    QCOMPARE(macos_value::from_array(dates).description(), printed_dates);
    QCOMPARE(plugin_static_function::get_filtered_string_value(printed_dates),
             QString("2019-03-04 00:00:00 +0000;2019-03-05 00:00:00 +0000"));
}

void tst_macos_value_getters::used_dates_of_a_file()
{
    const QString path = dir_QTemporaryDir.path() + "/used.txt";
    SET_ATTRIBUTES_OR_SKIP(path,
                           {{"user.kMDItemLastUsedDate", "2019-03-05 10:20:30 +0000"},
                            {"user.kMDItemUsedDates", "2019-03-04 00:00:00 +0000\n2019-03-05T00:00:00Z\n"}});

    const struct_GLOBAL_ARTIFACT_used_dates record = plugin_static_function::extract_used_date(path);
    QCOMPARE(record.last_used_date, QString("1551781230"));
    QCOMPARE(record.used_dates_list, QList<QString>({"1551657600", "1551744000"}));
    QCOMPARE(record.first_used_date, QString("1551657600"));
    QCOMPARE(record.latest_used_date, QString("1551744000"));
}

void tst_macos_value_getters::used_dates_without_attributes()
{
    const QString path = dir_QTemporaryDir.path() + "/plain.txt";
    QVERIFY(test_support::write_file(path, "content"));
    const QString missing = dir_QTemporaryDir.path() + "/missing.txt";
    for (const QString& file : {path, missing, QString()})
    {
        const struct_GLOBAL_ARTIFACT_used_dates record = plugin_static_function::extract_used_date(file);
        QCOMPARE(record.last_used_date, QString());
        QVERIFY(record.used_dates_list.isEmpty());
        QCOMPARE(record.first_used_date, QString());
        QCOMPARE(record.latest_used_date, QString());
    }

    const QString empty_list = dir_QTemporaryDir.path() + "/empty_list.txt";
    SET_ATTRIBUTES_OR_SKIP(empty_list, {{"user.kMDItemUsedDates", ""}});
    QVERIFY(plugin_static_function::extract_used_date(empty_list).used_dates_list.isEmpty());
}

void tst_macos_value_getters::used_dates_that_do_not_parse()
{
    const QString path = dir_QTemporaryDir.path() + "/garbage.txt";
    SET_ATTRIBUTES_OR_SKIP(path, {{"user.kMDItemLastUsedDate", "last Tuesday"},
                                  {"user.kMDItemUsedDates", "soon\n2019-03-05 00:00:00 +0000\n1960-01-01 "
                                                            "00:00:00 +0000"}});

    const struct_GLOBAL_ARTIFACT_used_dates record = plugin_static_function::extract_used_date(path);
    QCOMPARE(record.last_used_date, QString());
    // Entries keep their places; what is no usable date stays empty.
    QCOMPARE(record.used_dates_list, QList<QString>({"", "1551744000", ""}));
    QCOMPARE(record.first_used_date, QString());
    QCOMPARE(record.latest_used_date, QString());
}

void tst_macos_value_getters::used_dates_stop_on_cancel()
{
    const QString path = dir_QTemporaryDir.path() + "/cancel.txt";
    SET_ATTRIBUTES_OR_SKIP(path, {{"user.kMDItemLastUsedDate", "2019-03-05 10:20:30 +0000"},
                                  {"user.kMDItemUsedDates", "2019-03-04 00:00:00 +0000"}});

    plugin_static_function::set_cancel_extraction(true);
    const struct_GLOBAL_ARTIFACT_used_dates record = plugin_static_function::extract_used_date(path);
    QCOMPARE(record.last_used_date, QString("1551781230"));
    QVERIFY(record.used_dates_list.isEmpty());
    QCOMPARE(record.first_used_date, QString());
    QCOMPARE(macos_autorelease_pool::open_count(), 0);
}

QTEST_MAIN(tst_macos_value_getters)
#include "tst_macos_value_getters.moc"
