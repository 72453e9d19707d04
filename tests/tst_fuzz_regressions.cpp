// Replays the fuzzer's seeds (the shared corpus) and every crash input kept in the tree
// through the same entry the fuzzer uses.

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
            if (!path.endsWith(".md"))
                QTest::newRow(qPrintable(QDir(root).relativeFilePath(path))) << path;
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
    const int rows =
        ics_fuzz::read_one_file(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
    // The same rows whatever the chunk size.
    QCOMPARE(
        ics_fuzz::read_one_file(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()), 7),
        rows);
    QVERIFY(rows >= 0);
}

QTEST_MAIN(tst_fuzz_regressions)
#include "tst_fuzz_regressions.moc"
