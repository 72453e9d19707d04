// Image, audio and video classification by extension, and the shape of the three extension tables.

#include "support/plugin_helper_functions.h"

#include <QSet>
#include <QtTest>

namespace
{
using table = plugin_helper_functions::extension_table;

const table& table_named(const plugin_helper_functions& helper, const QString& name)
{
    if (name == "image")
        return helper.get_image_extension_table();
    if (name == "audio")
        return helper.get_audio_extension_table();
    return helper.get_video_extension_table();
}

QString bucket_key(int index)
{
    return index < 10 ? QString(QChar('0' + index)) : QString(QChar('a' + index - 10));
}

// "a=3 b=1": the number of different entries in each non-empty bucket.
QMap<QString, int> parse_sizes(const QString& text)
{
    QMap<QString, int> sizes;
    for (const QString& pair : text.split(' ', Qt::SkipEmptyParts))
        sizes.insert(pair.section('=', 0, 0), pair.section('=', 1).toInt());
    return sizes;
}

QStringList dotted(const QStringList& names)
{
    QStringList entries;
    for (const QString& name : names)
        entries << "." + name;
    return entries;
}
} // namespace

class tst_media_classifier : public QObject
{
    Q_OBJECT

  private slots:
    void classification_data();
    void classification();
    void cancel_answers_false_data();
    void cancel_answers_false();

    void table_shape_data();
    void table_shape();
    void bucket_sizes_data();
    void bucket_sizes();
    void bucket_order_data();
    void bucket_order();
    void every_entry_is_recognised_data();
    void every_entry_is_recognised();
    void video_additions_data();
    void video_additions();
    void tables_are_the_same_in_every_object();
};

void tst_media_classifier::classification_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("image");
    QTest::addColumn<bool>("audio");
    QTest::addColumn<bool>("video");

    QTest::newRow("upper-case photo") << "IMG_0001.JPG" << true << false << false;
    QTest::newRow("upper-case movie") << "clip.MOV" << false << false << true;
    QTest::newRow("song counts as video") << "song.mp3" << false << true << true;
    QTest::newRow("no dot") << "jpg" << false << false << false;
    QTest::newRow("bare extension") << ".jpg" << true << false << false;
    QTest::newRow("trailing dot") << "photo.jpg." << false << false << false;
    QTest::newRow("trailing blank") << "photo.jpg " << true << false << false;
    QTest::newRow("surrounding white space") << "\t photo.PNG\n" << true << false << false;
    QTest::newRow("last extension only") << "archive.tar.gz" << false << false << false;
    QTest::newRow("sign first, audio not consulted") << "file._tmp" << false << false << false;
    QTest::newRow("dash first") << "file.-mp3" << false << false << false;
    QTest::newRow("non-ascii first letter") << "file.\u00e9mp3" << false << false << false;
    QTest::newRow("empty") << "" << false << false << false;
    QTest::newRow("blank") << "   " << false << false << false;
    QTest::newRow("dot then blank") << "photo. " << false << false << false;
    QTest::newRow("whole text, not a prefix") << "photo.jp" << false << false << false;
    QTest::newRow("whole text, not a suffix") << "photo.xjpg" << false << false << false;
    QTest::newRow("digit bucket image") << "scan.001" << true << false << false;
    QTest::newRow("digit bucket video") << "phone.3gp" << false << false << true;
    QTest::newRow("digit bucket audio") << "tune.669" << false << true << true;
    QTest::newRow("entry with a dash") << "tape.dv-avi" << false << false << true;
    QTest::newRow("entry with an underscore") << "track.mp_" << false << true << true;
    QTest::newRow("audio only via empty video bucket") << "voice.pcm" << false << true << true;
    QTest::newRow("in image and audio") << "cover.abm" << true << true << true;
    QTest::newRow("added video format") << "film.WebM" << false << false << true;
    QTest::newRow("added format in audio too") << "cam.mts" << false << true << true;
    QTest::newRow("added in a bucket the list left empty") << "stream.ts" << false << false << true;
    QTest::newRow("path with dotted folders") << "/evidence/v1.2/photo.heic" << false << false << false;
    QTest::newRow("path to a photo") << "/evidence/v1.2/IMG.jpeg" << true << false << false;
}

void tst_media_classifier::classification()
{
    QFETCH(QString, name);
    QFETCH(bool, image);
    QFETCH(bool, audio);
    QFETCH(bool, video);

    plugin_helper_functions helper;
    QCOMPARE(helper.check_is_image_by_extn(name), image);
    QCOMPARE(helper.check_is_audio_by_extn(name), audio);
    QCOMPARE(helper.check_is_video_by_extn(name), video);
}

void tst_media_classifier::cancel_answers_false_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("photo") << "IMG_0001.JPG";
    QTest::newRow("movie") << "clip.mov";
    QTest::newRow("song, video bucket misses") << "song.mp3";
    QTest::newRow("song, video bucket empty") << "voice.pcm";
}

void tst_media_classifier::cancel_answers_false()
{
    QFETCH(QString, name);
    plugin_helper_functions helper;
    const bool image = helper.check_is_image_by_extn(name);
    const bool audio = helper.check_is_audio_by_extn(name);
    const bool video = helper.check_is_video_by_extn(name);
    QVERIFY(image || audio || video);

    helper.set_cancel_extraction(true);
    QVERIFY(!helper.check_is_image_by_extn(name));
    QVERIFY(!helper.check_is_audio_by_extn(name));
    QVERIFY(!helper.check_is_video_by_extn(name));

    helper.set_essentials();
    QCOMPARE(helper.check_is_image_by_extn(name), image);
    QCOMPARE(helper.check_is_audio_by_extn(name), audio);
    QCOMPARE(helper.check_is_video_by_extn(name), video);
}

void tst_media_classifier::table_shape_data()
{
    QTest::addColumn<QString>("table_name");
    QTest::addColumn<int>("distinct");
    QTest::addColumn<int>("non_empty_buckets");
    QTest::newRow("image") << "image" << 548 << 32;
    QTest::newRow("audio") << "audio" << 545 << 31;
    QTest::newRow("video with additions") << "video" << 133 + 24 << 13 + 8;
}

void tst_media_classifier::table_shape()
{
    QFETCH(QString, table_name);
    QFETCH(int, distinct);
    QFETCH(int, non_empty_buckets);

    plugin_helper_functions helper;
    const table& buckets = table_named(helper, table_name);
    QSet<QString> seen;
    int non_empty = 0;
    for (int index = 0; index < plugin_helper_functions::bucket_count_int; ++index)
    {
        non_empty += buckets[index].isEmpty() ? 0 : 1;
        for (const QString& entry : buckets[index])
        {
            QVERIFY2(entry.startsWith('.') && entry.size() > 1, qPrintable(entry));
            QCOMPARE(entry, entry.toLower());
            QCOMPARE(entry.mid(1, 1), bucket_key(index));
            seen.insert(entry);
        }
    }
    QCOMPARE(seen.size(), distinct);
    QCOMPARE(non_empty, non_empty_buckets);
}

void tst_media_classifier::bucket_sizes_data()
{
    QTest::addColumn<QString>("table_name");
    QTest::addColumn<QString>("sizes");
    QTest::newRow("image") << "image"
                           << "0=1 2=1 3=1 4=1 7=1 8=2 a=32 b=13 c=46 d=31 e=9 f=28 g=25 h=11 i=26 j=29 k=6 "
                              "l=4 m=28 n=6 o=15 p=76 q=4 r=16 s=55 t=27 u=5 v=18 w=17 x=8 y=4 z=2";
    QTest::newRow("audio") << "audio"
                           << "2=2 3=1 4=1 6=2 8=3 a=58 b=13 c=24 d=32 e=14 f=20 g=15 h=5 i=13 j=3 k=16 l=8 "
                              "m=60 n=20 o=15 p=31 q=1 r=29 s=63 t=14 u=13 v=24 w=25 x=14 y=2 z=4";
    QTest::newRow("video") << "video"
                           << "2=1 3=7 6=1 7=1 a=26 b=15 c=16 d=35 e=4 f=14 g=7 h=3 m=14 o=2 q=1 r=2 s=1 t=2 "
                              "v=1 w=3 x=1";
}

void tst_media_classifier::bucket_sizes()
{
    QFETCH(QString, table_name);
    QFETCH(QString, sizes);

    plugin_helper_functions helper;
    const table& buckets = table_named(helper, table_name);
    const QMap<QString, int> expected = parse_sizes(sizes);
    for (int index = 0; index < plugin_helper_functions::bucket_count_int; ++index)
    {
        const QString key = bucket_key(index);
        const QStringList unique(QSet<QString>(buckets[index].begin(), buckets[index].end()).values());
        QVERIFY2(unique.size() == expected.value(key, 0),
                 qPrintable(key + ": " + QString::number(unique.size()) + " entries"));
    }
}

void tst_media_classifier::bucket_order_data()
{
    QTest::addColumn<QString>("table_name");
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("image j") << "image" << 19
                             << dotted({"j",    "j2c", "j2k", "jas",  "jb2",  "jbf", "jbig", "jbig2",
                                        "jbmp", "jbr", "jfi", "jfif", "jia",  "jif", "jiff", "jng",
                                        "jp2",  "jpc", "jpd", "jpe",  "jpeg", "jpf", "jpg",  "jpg2",
                                        "jps",  "jpx", "jtf", "jwl",  "jxr"});
    QTest::newRow("audio x") << "audio" << 33
                             << dotted({"xa", "xfs", "xi", "xm", "xmf", "xmi", "xmz", "xp", "xrns", "xsb",
                                        "xsp", "xspf", "xt", "xwb"});
    QTest::newRow("video 3") << "video" << 3 << dotted({"3g2", "3gp", "3gp2", "3gpp", "3gpp2", "3mm", "3p2"});
    QTest::newRow("video m, additions after the listed entries")
        << "video" << 22
        << dotted({"mov", "mkv", "mp4", "m1v", "m2t", "m2ts", "m2v", "m4v", "mpe", "mpeg", "mpg", "mpv",
                   "mts", "mxf"});
    QTest::newRow("video w, a bucket of additions only") << "video" << 32 << dotted({"webm", "wmv", "wtv"});
}

void tst_media_classifier::bucket_order()
{
    QFETCH(QString, table_name);
    QFETCH(int, index);
    QFETCH(QStringList, entries);
    plugin_helper_functions helper;
    QCOMPARE(table_named(helper, table_name)[index], entries);
}

void tst_media_classifier::every_entry_is_recognised_data()
{
    QTest::addColumn<QString>("table_name");
    QTest::newRow("image") << "image";
    QTest::newRow("audio") << "audio";
    QTest::newRow("video") << "video";
}

// Each stored entry, as the extension of an upper-case name, is found by the check of its table.
void tst_media_classifier::every_entry_is_recognised()
{
    QFETCH(QString, table_name);
    plugin_helper_functions helper;
    for (const QStringList& bucket : table_named(helper, table_name))
    {
        for (const QString& entry : bucket)
        {
            const QString name = "Evidence File" + entry.toUpper();
            if (table_name == "image")
                QVERIFY2(helper.check_is_image_by_extn(name), qPrintable(name));
            if (table_name == "audio")
                QVERIFY2(helper.check_is_audio_by_extn(name), qPrintable(name));
            QVERIFY2(table_name == "image" || helper.check_is_video_by_extn(name), qPrintable(name));
        }
    }
}

void tst_media_classifier::video_additions_data()
{
    QTest::addColumn<QString>("extension");
    const QStringList added = {"m1v", "m2t", "m2ts", "m2v", "m4v",  "mpe", "mpeg", "mpg",
                               "mpv", "mts", "mxf",  "ogm", "ogv",  "qt",  "rm",   "rmvb",
                               "swf", "tod", "ts",   "vob", "webm", "wmv", "wtv",  "xvid"};
    for (const QString& extension : added)
        QTest::newRow(qPrintable(extension)) << extension;
}

void tst_media_classifier::video_additions()
{
    QFETCH(QString, extension);
    plugin_helper_functions helper;
    const int index = 10 + (extension.at(0).unicode() - 'a');
    QVERIFY(helper.get_video_extension_table()[index].contains("." + extension));
    QVERIFY(helper.check_is_video_by_extn("recording." + extension.toUpper()));
    QVERIFY(!helper.check_is_image_by_extn("recording." + extension));
}

void tst_media_classifier::tables_are_the_same_in_every_object()
{
    plugin_helper_functions first;
    first.set_cancel_extraction(true);
    plugin_helper_functions second;
    QCOMPARE(second.get_image_extension_table(), first.get_image_extension_table());
    QCOMPARE(second.get_audio_extension_table(), first.get_audio_extension_table());
    QCOMPARE(second.get_video_extension_table(), first.get_video_extension_table());
    QVERIFY(second.check_is_image_by_extn("a.png"));
}

QTEST_MAIN(tst_media_classifier)
#include "tst_media_classifier.moc"
