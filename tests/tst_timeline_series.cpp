// Series expansion: rules through libical in the event's zone, UNTIL as an instant, DTSTART, RDATE and
// EXDATE, the horizon, the window and the occurrence cap; rules libical refuses.

#include "extractors/ics/ics_zone_resolver.h"
#include "timeline/timeline_rule_iterator.h"
#include "timeline/timeline_series_expander.h"

#include <QDateTime>
#include <QtTest>

#include <ctime>

namespace
{
qint64 seconds_of(const QString& iso)
{
    return QDateTime::fromString(iso, Qt::ISODate).toSecsSinceEpoch();
}

std::optional<qint64> optional_seconds(const QString& iso)
{
    return iso.isEmpty() ? std::nullopt : std::optional<qint64>(seconds_of(iso));
}

QString instant_list(const QStringList& isos)
{
    QStringList seconds;
    for (const QString& iso : isos)
        seconds << QString::number(seconds_of(iso));
    return seconds.join(',');
}

icaltimetype libical_start(QDate date, bool all_day)
{
    icaltimetype start = icaltime_null_time();
    start.year = date.year();
    start.month = date.month();
    start.day = date.day();
    start.is_date = all_day ? 1 : 0;
    start.hour = all_day ? 0 : 9;
    start.minute = all_day ? 0 : 15;
    return start;
}

// The first `limit` occurrences straight from libical's iterator, as "yyyy-MM-dd HH:mm:ss".
QStringList libical_occurrences(const icalrecurrencetype& rule, const icaltimetype& start, int limit)
{
    QStringList occurrences;
    icalrecur_iterator* iterator = icalrecur_iterator_new(rule, start);
    for (icaltimetype next = icalrecur_iterator_next(iterator);
         !icaltime_is_null_time(next) && occurrences.size() < limit; next = icalrecur_iterator_next(iterator))
        occurrences << QDateTime(QDate(next.year, next.month, next.day),
                                 QTime(next.hour, next.minute, next.second), Qt::UTC)
                           .toString("yyyy-MM-dd HH:mm:ss");
    icalrecur_iterator_free(iterator);
    return occurrences;
}

QStringList isos_of(const QList<qint64>& seconds)
{
    QStringList isos;
    for (const qint64 s : seconds)
        isos << QDateTime::fromSecsSinceEpoch(s, Qt::UTC).toString(Qt::ISODate);
    return isos;
}
} // namespace

class tst_timeline_series : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void expansion_data();
    void expansion();
    void wall_clock_kept();
    void unreadable_start_data();
    void unreadable_start();
    void repetition_is_libicals_data();
    void repetition_is_libicals();
};

void tst_timeline_series::initTestCase()
{
    // All-day and floating values are the machine's wall clock.
    qputenv("TZ", "America/New_York");
    tzset();
}

void tst_timeline_series::expansion_data()
{
    QTest::addColumn<QString>("rrule");
    QTest::addColumn<QString>("dtstart");
    QTest::addColumn<QString>("tzid");
    QTest::addColumn<QStringList>("rdates");
    QTest::addColumn<QStringList>("exdates");
    QTest::addColumn<QString>("horizon");
    QTest::addColumn<QString>("until");
    QTest::addColumn<int>("cap");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("cut");
    QTest::addColumn<int>("problems");

    const QStringList none;
    QTest::newRow("weekly across the Berlin spring change stays 09:15 local")
        << "FREQ=WEEKLY;COUNT=4"
        << "20240319T091500"
        << "Europe/Berlin" << none << none << ""
        << "" << 100
        << QStringList{"2024-03-19T08:15:00Z", "2024-03-26T08:15:00Z", "2024-04-02T07:15:00Z",
                       "2024-04-09T07:15:00Z"}
        << false << 0;
    QTest::newRow("UNTIL in UTC is inclusive")
        << "FREQ=WEEKLY;UNTIL=20240402T071500Z"
        << "20240319T091500"
        << "Europe/Berlin" << none << none << ""
        << "" << 100 << QStringList{"2024-03-19T08:15:00Z", "2024-03-26T08:15:00Z", "2024-04-02T07:15:00Z"}
        << false << 0;
    QTest::newRow("UNTIL in UTC a second before the occurrence")
        << "FREQ=WEEKLY;UNTIL=20240402T071459Z"
        << "20240319T091500"
        << "Europe/Berlin" << none << none << ""
        << "" << 100 << QStringList{"2024-03-19T08:15:00Z", "2024-03-26T08:15:00Z"} << false << 0;
    QTest::newRow("floating UNTIL is a wall clock of the zone")
        << "FREQ=WEEKLY;UNTIL=20240402T091500"
        << "20240319T091500"
        << "Europe/Berlin" << none << none << ""
        << "" << 100 << QStringList{"2024-03-19T08:15:00Z", "2024-03-26T08:15:00Z", "2024-04-02T07:15:00Z"}
        << false << 0;
    QTest::newRow("monthly on the second Thursday across the New York change")
        << "FREQ=MONTHLY;BYDAY=2TH;COUNT=3"
        << "20240111T190000"
        << "America/New_York" << none << none << ""
        << "" << 100 << QStringList{"2024-01-12T00:00:00Z", "2024-02-09T00:00:00Z", "2024-03-14T23:00:00Z"}
        << false << 0;
    QTest::newRow("yearly on 29 February skips the common years")
        << "FREQ=YEARLY;COUNT=2"
        << "20200229T120000Z"
        << "" << none << none << ""
        << "" << 100 << QStringList{"2020-02-29T12:00:00Z", "2024-02-29T12:00:00Z"} << false << 0;
    QTest::newRow("daily with COUNT in UTC")
        << "FREQ=DAILY;COUNT=3"
        << "20240101T100000Z"
        << "" << none << none << ""
        << "" << 100 << QStringList{"2024-01-01T10:00:00Z", "2024-01-02T10:00:00Z", "2024-01-03T10:00:00Z"}
        << false << 0;
    QTest::newRow("RDATE added, EXDATE taken out")
        << "FREQ=DAILY;COUNT=3"
        << "20240101T100000Z"
        << "" << QStringList{"2024-01-10T10:00:00Z", "2024-01-03T10:00:00Z"}
        << QStringList{"2024-01-02T10:00:00Z"} << ""
        << "" << 100 << QStringList{"2024-01-01T10:00:00Z", "2024-01-03T10:00:00Z", "2024-01-10T10:00:00Z"}
        << false << 0;
    QTest::newRow("RDATE alone: DTSTART and the dates")
        << ""
        << "20240101T100000Z"
        << "" << QStringList{"2024-02-01T09:00:00Z"} << none << ""
        << "" << 100 << QStringList{"2024-01-01T10:00:00Z", "2024-02-01T09:00:00Z"} << false << 0;
    QTest::newRow("endless rule stops at the horizon, inclusive")
        << "FREQ=DAILY"
        << "20240101T100000Z"
        << "" << none << none << "2024-01-03T10:00:00Z"
        << "" << 100 << QStringList{"2024-01-01T10:00:00Z", "2024-01-02T10:00:00Z", "2024-01-03T10:00:00Z"}
        << false << 0;
    QTest::newRow("the horizon does not cut a rule with COUNT")
        << "FREQ=DAILY;COUNT=3"
        << "20240101T100000Z"
        << "" << none << none << "2024-01-01T12:00:00Z"
        << "" << 100 << QStringList{"2024-01-01T10:00:00Z", "2024-01-02T10:00:00Z", "2024-01-03T10:00:00Z"}
        << false << 0;
    QTest::newRow("the window's end cuts every rule, exclusive")
        << "FREQ=DAILY;COUNT=10"
        << "20240101T100000Z"
        << "" << QStringList{"2024-01-05T00:00:00Z", "2024-01-02T00:00:00Z"} << none << ""
        << "2024-01-03T10:00:00Z" << 100
        << QStringList{"2024-01-01T10:00:00Z", "2024-01-02T00:00:00Z", "2024-01-02T10:00:00Z"} << false << 0;
    QTest::newRow("two rules merged, each instant once")
        << "FREQ=DAILY;COUNT=2\nFREQ=WEEKLY;COUNT=2"
        << "20240101T100000Z"
        << "" << none << none << ""
        << "" << 100 << QStringList{"2024-01-01T10:00:00Z", "2024-01-02T10:00:00Z", "2024-01-08T10:00:00Z"}
        << false << 0;
    QTest::newRow("all-day weekly at the machine's midnight")
        << "FREQ=WEEKLY;COUNT=2"
        << "20240305"
        << "" << none << QStringList() << ""
        << "" << 100 << QStringList{"2024-03-05T05:00:00Z", "2024-03-12T04:00:00Z"} << false << 0;
    QTest::newRow("all-day yearly with an UNTIL date")
        << "FREQ=YEARLY;UNTIL=20230315"
        << "20200315"
        << "" << none << QStringList{"2021-03-15T04:00:00Z"} << ""
        << "" << 100 << QStringList{"2020-03-15T04:00:00Z", "2022-03-15T04:00:00Z", "2023-03-15T04:00:00Z"}
        << false << 0;
    QTest::newRow("a hostile rule stops at the cap")
        << "FREQ=SECONDLY"
        << "20240101T000000Z"
        << "" << none << none << ""
        << "" << 4
        << QStringList{"2024-01-01T00:00:00Z", "2024-01-01T00:00:01Z", "2024-01-01T00:00:02Z",
                       "2024-01-01T00:00:03Z"}
        << true << 0;
    QTest::newRow("a rule libical refuses is named; DTSTART and RDATE stand")
        << "FREQ=FORTNIGHTLY"
        << "20240101T100000Z"
        << "" << QStringList{"2024-01-15T10:00:00Z"} << none << ""
        << "" << 100 << QStringList{"2024-01-01T10:00:00Z", "2024-01-15T10:00:00Z"} << false << 1;
}

void tst_timeline_series::expansion()
{
    QFETCH(QString, rrule);
    QFETCH(QString, dtstart);
    QFETCH(QString, tzid);
    QFETCH(QStringList, rdates);
    QFETCH(QStringList, exdates);
    QFETCH(QString, horizon);
    QFETCH(QString, until);
    QFETCH(int, cap);
    QFETCH(QStringList, expected);
    QFETCH(bool, cut);
    QFETCH(int, problems);

    timeline_series_row series;
    series.present = true;
    series.rrule = rrule;
    series.dtstart_as_written = dtstart;
    series.dtstart_tzid = tzid;
    series.rdate = instant_list(rdates);
    series.exdate = instant_list(exdates);
    ics_zone_resolver zones;
    const QByteArray zone = tzid.toUtf8();
    timeline_series_expander expander(cap);
    QVERIFY(expander.expand(
        series, [&](QDate date, QTime time) { return zones.epoch_of(date, time, zone); },
        optional_seconds(horizon), optional_seconds(until)));

    QList<qint64> got;
    for (const timeline_occurrence& occurrence : expander.occurrences())
        got << occurrence.seconds;
    QCOMPARE(isos_of(got), expected);
    QCOMPARE(isos_of(expander.exdates()), exdates);
    QCOMPARE(expander.cut_at_cap(), cut);
    QCOMPARE(expander.all_day(), dtstart.size() == 8);
    QVERIFY2(expander.problems().size() == problems, qPrintable(expander.problems().join(" | ")));
}

// The wall clock of each rule occurrence is the zone's, the same 09:15 on both sides of the change.
void tst_timeline_series::wall_clock_kept()
{
    timeline_series_row series;
    series.present = true;
    series.rrule = "FREQ=WEEKLY;COUNT=3";
    series.dtstart_as_written = "20241020T091500";
    series.dtstart_tzid = "Europe/Berlin";
    ics_zone_resolver zones;
    timeline_series_expander expander(100);
    QVERIFY(expander.expand(
        series, [&](QDate date, QTime time) { return zones.epoch_of(date, time, "Europe/Berlin"); },
        std::nullopt, std::nullopt));
    QCOMPARE(expander.occurrences().size(), 3);
    QList<qint64> offsets;
    for (const timeline_occurrence& occurrence : expander.occurrences())
    {
        QCOMPARE(occurrence.wall_time, QTime(9, 15));
        offsets << QDateTime(occurrence.wall_date, occurrence.wall_time, Qt::UTC).toSecsSinceEpoch() -
                       occurrence.seconds;
    }
    QCOMPARE(offsets, (QList<qint64>{7200, 3600, 3600}));
}

void tst_timeline_series::unreadable_start_data()
{
    QTest::addColumn<QString>("dtstart");
    QTest::newRow("empty") << "";
    QTest::newRow("date with a dash") << "2024-03-05";
    QTest::newRow("month 13") << "20241305T091500";
    QTest::newRow("offset instead of Z") << "20240305T091500+0100";
    QTest::newRow("time without date") << "T091500";
}

void tst_timeline_series::unreadable_start()
{
    QFETCH(QString, dtstart);
    timeline_series_row series;
    series.present = true;
    series.rrule = "FREQ=DAILY;COUNT=3";
    series.dtstart_as_written = dtstart;
    timeline_series_expander expander(100);
    QVERIFY(!expander.expand(
        series, [](QDate, QTime) { return qint64(0); }, std::nullopt, std::nullopt));
    QVERIFY(expander.occurrences().isEmpty());
    QCOMPARE(expander.problems().size(), 1);
}

void tst_timeline_series::repetition_is_libicals_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<bool>("all_day");
    QTest::addColumn<bool>("repeats"); // whether periods are repeated rather than asked of libical
    QTest::newRow("weekly, three days") << "FREQ=WEEKLY;WKST=MO;BYDAY=MO,WE,FR" << false << true;
    QTest::newRow("weekly, three days, all-day") << "FREQ=WEEKLY;BYDAY=MO,WE,FR" << true << true;
    QTest::newRow("weekly on DTSTART's day") << "FREQ=WEEKLY" << false << true;
    QTest::newRow("fortnightly, week from Sunday")
        << "FREQ=WEEKLY;INTERVAL=2;WKST=SU;BYDAY=TU,SU" << false << true;
    QTest::newRow("every third weekend") << "FREQ=WEEKLY;INTERVAL=3;BYDAY=SA,SU" << false << true;
    QTest::newRow("daily") << "FREQ=DAILY" << false << true;
    QTest::newRow("every third day") << "FREQ=DAILY;INTERVAL=3" << true << true;
    QTest::newRow("working days") << "FREQ=DAILY;BYDAY=MO,TU,WE,TH,FR" << false << true;
    QTest::newRow("count ends while repeating") << "FREQ=WEEKLY;COUNT=150;BYDAY=TH" << false << true;
    QTest::newRow("monthly by weekday") << "FREQ=MONTHLY;BYDAY=2TU" << false << false;
    QTest::newRow("weekly in two months") << "FREQ=WEEKLY;BYDAY=MO;BYMONTH=1,7" << false << false;
    QTest::newRow("last weekday of the week") << "FREQ=WEEKLY;BYDAY=MO;BYSETPOS=-1" << false << false;
}

// Whatever the start (year ends, leap days, week 53, far ahead where libical takes over again), the
// occurrences are libical's own, one for one.
void tst_timeline_series::repetition_is_libicals()
{
    QFETCH(QString, rule);
    QFETCH(bool, all_day);
    QFETCH(bool, repeats);
    const icalrecurrencetype parsed = icalrecurrencetype_from_string(rule.toUtf8().constData());
    QList<QPair<QDate, int>> starts;
    for (QDate date(1996, 12, 1); date.year() < 2031; date = date.addDays(47))
        starts << qMakePair(date, 300);
    for (const QDate date : {QDate(2024, 2, 29), QDate(1999, 12, 31), QDate(2015, 12, 28), QDate(1700, 3, 1)})
        starts << qMakePair(date, 300);
    starts << qMakePair(QDate(2195, 11, 30), 3000); // runs past 2199
    qint64 repeated = 0;
    for (const auto& [date, limit] : starts)
    {
        const icaltimetype start = libical_start(date, all_day);
        timeline_rule_iterator iterator(parsed, start);
        QVERIFY(iterator.is_valid());
        QStringList ours;
        QDate day;
        QTime time;
        while (ours.size() < limit && iterator.next(&day, &time))
            ours << QDateTime(day, time, Qt::UTC).toString("yyyy-MM-dd HH:mm:ss");
        QCOMPARE(ours, libical_occurrences(parsed, start, limit));
        repeated += iterator.repeated();
    }
    QCOMPARE(repeated > 0, repeats);
}

QTEST_MAIN(tst_timeline_series)
#include "tst_timeline_series.moc"
