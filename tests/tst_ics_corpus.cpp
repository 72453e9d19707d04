// Every real-world file of the shared corpus is read without a crash and gives one row per event.

#include "tests/extraction_fixture.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>

class tst_ics_corpus : public QObject
{
    Q_OBJECT

  private slots:
    void every_file_gives_one_row_per_event_data();
    void every_file_gives_one_row_per_event();
};

void tst_ics_corpus::every_file_gives_one_row_per_event_data()
{
    QTest::addColumn<QString>("path");
    const QString corpus = QStringLiteral(GCAL_CORPUS_DIR);
    if (!QFileInfo(corpus).isDir())
        QSKIP("the shared .ics corpus is not beside this checkout");
    QStringList files;
    QDirIterator it(corpus, {"*.ics"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    QVERIFY(files.size() > 10);
    for (const QString& file : files)
        QTest::newRow(qPrintable(QDir(corpus).relativeFilePath(file))) << file;
}

void tst_ics_corpus::every_file_gives_one_row_per_event()
{
    QFETCH(QString, path);
    QTemporaryDir source;
    QTemporaryDir result;
    const QByteArray bytes = test_support::read_file(path);
    QVERIFY(test_support::write_file(source.path() + "/Calendar/" + QFileInfo(path).fileName(), bytes));

    const QString db = extraction_fixture::run(source.path(), result.path());
    const QList<QVariantMap> rows = test_support::table_rows(db, "calendar_events");
    QCOMPARE(rows.size(), extraction_fixture::event_count(bytes));
    for (const QVariantMap& row : rows)
        QCOMPARE(row.value("ics_file_path").toString(), "/Calendar/" + QFileInfo(path).fileName());
}

QTEST_MAIN(tst_ics_corpus)
#include "tst_ics_corpus.moc"
