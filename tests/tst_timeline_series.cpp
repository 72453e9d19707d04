// Series expansion: rules through libical in the event's zone, UNTIL as an instant, DTSTART, RDATE and
// EXDATE, the horizon, the window and the occurrence cap; rules libical refuses.

#include "extractors/ics/ics_zone_resolver.h"
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

QTEST_MAIN(tst_timeline_series)
#include "tst_timeline_series.moc"
