// Replays the fuzzer's seeds (the shared corpus) and every crash input kept in the tree
// through the same entry the fuzzer uses, with the same checks.

#include "tests/fuzz/ics_fuzz_entry.h"
#include "tests/test_support.h"

#include <QDirIterator>
#include <QtTest>

class tst_fuzz_regressions : public QObject
{
    Q_OBJECT

  private slots:
    void replay_data();
    void replay();
    void checks_catch_wrong_results();
};

void tst_fuzz_regressions::replay_data()
{
    QTest::addColumn<QString>("path");
    const QStringList roots = {test_support::test_data("fuzz-regressions"), QStringLiteral(GCAL_CORPUS_DIR)};
    int count = 0;
    for (const QString& root : roots)
    {
        QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
        {
            const QString path = it.next();
            if (path.endsWith(".md"))
                continue;
            QTest::newRow(qPrintable(QDir(root).dirName() + "/" + QDir(root).relativeFilePath(path))) << path;
            ++count;
        }
    }
    if (count == 0)
        QSKIP("neither kept crash inputs nor the shared corpus are here");
}

void tst_fuzz_regressions::replay()
{
    QFETCH(QString, path);
    const QByteArray bytes = test_support::read_file(path);
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    const ics_fuzz::outcome whole = ics_fuzz::read_one_file(data, size_t(bytes.size()));
    QVERIFY2(whole.fault.isEmpty(), qPrintable(whole.fault));
    for (const qint64 chunk : {1, 2, 7, 64})
    {
        const ics_fuzz::outcome chunked = ics_fuzz::read_one_file(data, size_t(bytes.size()), chunk);
        QVERIFY2(chunked.fault.isEmpty(), qPrintable(chunked.fault));
        QCOMPARE(chunked.stored, whole.stored);
    }
}

// The oracle itself must see faults, or the fuzzer finds nothing but crashes.
void tst_fuzz_regressions::checks_catch_wrong_results()
{
    QCOMPARE(ics_fuzz::reference_lines("A\r\n B\r\nC"), (QByteArrayList{"AB\r", "C"}));
    QCOMPARE(ics_fuzz::reference_lines("A\n\tB\n"), (QByteArrayList{"AB", ""}));
    QCOMPARE(ics_fuzz::reference_lines("no line feed\r"), QByteArrayList());
    QCOMPARE(ics_fuzz::reference_lines("A\n "), QByteArrayList());

    ics_event_row row;
    QVERIFY(ics_fuzz::row_fault(row).isEmpty());
    row.event_start_date = "-86400";
    QVERIFY(ics_fuzz::row_fault(row).isEmpty());
    row.event_start_date = "20200101T000000";
    QVERIFY(!ics_fuzz::row_fault(row).isEmpty());
    row.event_start_date.clear();
    row.title = "caf\xc3";
    QVERIFY(!ics_fuzz::row_fault(row).isEmpty());

    const QByteArray event =
        "BEGIN:VEVENT\r\nSUMMARY:caf\xc3\x28\r\nDTSTART:20200101T100000Z\r\nEND:VEVENT\r\n";
    const ics_fuzz::outcome read =
        ics_fuzz::read_one_file(reinterpret_cast<const uint8_t*>(event.constData()), size_t(event.size()));
    QVERIFY2(read.fault.isEmpty(), qPrintable(read.fault));
    QCOMPARE(read.rows, 1);
    QVERIFY(read.stored.at(0).startsWith(QString::fromUtf8(u8"caf\u00C3(").toUtf8())); // read as Windows-1252
    QVERIFY(read.stored.at(0).contains("\x1f"
                                       "1577872800\x1f"));
}

QTEST_MAIN(tst_fuzz_regressions)
#include "tst_fuzz_regressions.moc"
