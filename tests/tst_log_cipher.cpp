// The log cipher, checked against the record format built independently here, and the reader
// of encrypted logs on a log the host program wrote.

#include "support/encryptor_string.h"
#include "tests/extraction_fixture.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
char key_byte(int position)
{
    return char((encryptor_string::built_in_key >> (8 * (position % 8))) & 0xff);
}

// version 3, flags, then random byte + integrity field + payload under the chained XOR.
QByteArray reference_cypher(char flags, char random, const QByteArray& field, const QByteArray& payload)
{
    QByteArray block = QByteArray(1, random) + field + payload;
    char previous = 0;
    for (int p = 0; p < block.size(); ++p)
    {
        block[p] = char(block[p] ^ key_byte(p) ^ previous);
        previous = block[p];
    }
    return QByteArray(1, 3) + QByteArray(1, flags) + block;
}

// The block of a cyphertext with the XOR undone: random byte, integrity field, payload.
QByteArray reference_block(const QByteArray& cypher)
{
    QByteArray block = cypher.mid(2);
    char previous = 0;
    for (int p = 0; p < block.size(); ++p)
    {
        const char c = block[p];
        block[p] = char(c ^ previous ^ key_byte(p));
        previous = c;
    }
    return block;
}

QByteArray crc_field(const QByteArray& payload)
{
    const quint16 crc = qChecksum(QByteArrayView(payload), Qt::ChecksumIso3309);
    return QByteArray(1, char(crc >> 8)) + QByteArray(1, char(crc & 0xff));
}

struct process_result
{
    int exit_code;
    QString out;
    QString err;
};

process_result run(const QString& program, const QStringList& arguments, const QByteArray& input = {})
{
    QProcess process;
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(120000);
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

QString decrypt_tool()
{
    return QStringLiteral(GCAL_BINARY_DIR "/gcal-log-decrypt");
}

// A log line without its time stamp, the only part that differs between two runs.
QString without_stamp(QString line)
{
    return line.remove(QRegularExpression("^\\[[^\\]]*\\]"));
}
} // namespace

class tst_log_cipher : public QObject
{
    Q_OBJECT

  private slots:
    void round_trip_data();
    void round_trip();
    void empty_text();
    void integrity_field_is_the_iso3309_crc();
    void same_millisecond_same_cyphertext();
    void random_byte_changes_every_byte();
    void tampering_is_detected_data();
    void tampering_is_detected();
    void hash_and_both_flags();
    void encrypted_log_reads_back_like_the_plain_one();
    void reader_answers();
    void reader_reports_a_log_cut_short_data();
    void reader_reports_a_log_cut_short();
};

void tst_log_cipher::round_trip_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("flags");
    QTest::newRow("ascii") << "[2026-Dec-04T21-29-26][VORIX_DESK] a line" << 0x02;
    QTest::newRow("non-ascii") << QString::fromUtf8("Café mit Jürgen – 会议 🎉") << 0x02;
    QTest::newRow("long repetitive") << QString("agenda item ").repeated(200) << 0x03;
}

void tst_log_cipher::round_trip()
{
    QFETCH(QString, text);
    QFETCH(int, flags);
    encryptor_string cipher;
    const QString base64 = cipher.encryptToString(text);
    QCOMPARE(cipher.lastError(), encryptor_string::error_none);
    const QByteArray cypher = QByteArray::fromBase64(base64.toLatin1());
    QCOMPARE(int(cypher.at(0)), 3);
    QCOMPARE(int(cypher.at(1)), flags);

    // The format read back by hand: CRC over the stored payload, the payload as stored.
    const QByteArray block = reference_block(cypher);
    const QByteArray payload = block.mid(3);
    QCOMPARE(block.mid(1, 2), crc_field(payload));
    QCOMPARE((flags & 1) ? qUncompress(payload) : payload, text.toUtf8());

    encryptor_string reader;
    QCOMPARE(reader.decryptToString(base64), text);
    QCOMPARE(reader.lastError(), encryptor_string::error_none);
    QCOMPARE(reader.decryptToString(cypher), text);
    const QString logged = plugin_static_function::encrypt_string(text, "caller");
    QCOMPARE(reader.decryptToString(logged), text);
    QCOMPARE(reader.lastError(), encryptor_string::error_none);
}

void tst_log_cipher::empty_text()
{
    encryptor_string cipher;
    const QString base64 = cipher.encryptToString(QString());
    QCOMPARE(base64.size(), 8);
    const QByteArray cypher = QByteArray::fromBase64(base64.toLatin1());
    QCOMPARE(cypher.size(), 5);
    QCOMPARE(int(cypher.at(1)), 0x02);
    QCOMPARE(cipher.decryptToString(base64), QString());
    QCOMPARE(cipher.lastError(), encryptor_string::error_none);
    QCOMPARE(plugin_static_function::encrypt_string(QString(), "caller"), QString());
}

void tst_log_cipher::integrity_field_is_the_iso3309_crc()
{
    // The published check value of CRC-16/X.25 (ISO 3309) over "123456789" is 0x906E.
    const QByteArray block = reference_block(encryptor_string().encryptToByteArray(QByteArray("123456789")));
    QCOMPARE(block.mid(1), QByteArray("\x90\x6e"
                                      "123456789"));
}

void tst_log_cipher::same_millisecond_same_cyphertext()
{
    for (int attempt = 0; attempt < 200; ++attempt)
    {
        const qint64 before = QDateTime::currentMSecsSinceEpoch();
        const QString first = encryptor_string().encryptToString(QString("same text"));
        const QString second = encryptor_string().encryptToString(QString("same text"));
        if (QDateTime::currentMSecsSinceEpoch() != before)
            continue;
        QCOMPARE(first, second);
        return;
    }
    QSKIP("never two constructions within one millisecond");
}

// Through the chaining, a different random byte changes every enciphered byte after it.
void tst_log_cipher::random_byte_changes_every_byte()
{
    const QString text("one line, two random bytes");
    const QByteArray first = encryptor_string().encryptToByteArray(text);
    for (int attempt = 0; attempt < 2000; ++attempt)
    {
        QTest::qWait(1); // a later millisecond reseeds the generator
        const QByteArray second = encryptor_string().encryptToByteArray(text);
        if (reference_block(second).at(0) == reference_block(first).at(0))
            continue;
        QCOMPARE(second.size(), first.size());
        QCOMPARE(second.left(2), first.left(2));
        for (int p = 2; p < first.size(); ++p)
            QVERIFY2(second.at(p) != first.at(p), qPrintable(QString("byte %1 unchanged").arg(p)));
        return;
    }
    QFAIL("the random byte never changed");
}

void tst_log_cipher::tampering_is_detected_data()
{
    QTest::addColumn<QByteArray>("cypher");
    QTest::addColumn<int>("error");
    const QByteArray good = encryptor_string().encryptToByteArray(QString("payload to protect"));
    QByteArray flipped = good;
    flipped[good.size() - 1] = char(flipped[good.size() - 1] ^ 0x40);
    QByteArray version2 = good;
    version2[0] = 2;
    QByteArray first_payload = good;
    first_payload[5] = char(first_payload[5] ^ 0x01); // version, flags, random byte, two CRC bytes
    QTest::newRow("flipped payload byte") << flipped << int(encryptor_string::error_integrity);
    QTest::newRow("flipped first payload byte") << first_payload << int(encryptor_string::error_integrity);
    QTest::newRow("version 2") << version2 << int(encryptor_string::error_unknown_version);
    QTest::newRow("two bytes") << good.left(2) << int(encryptor_string::error_unknown_version);
    QTest::newRow("no bytes") << QByteArray() << int(encryptor_string::error_unknown_version);
    QTest::newRow("no room for the CRC")
        << reference_cypher(0x02, 7, QByteArray(), "x").left(3) << int(encryptor_string::error_integrity);
    const QByteArray garbage("\x00\x00\x00\x10not zlib at all", 19);
    QTest::newRow("compressed payload that does not expand")
        << reference_cypher(0x03, 9, crc_field(garbage), garbage) << int(encryptor_string::error_integrity);
}

void tst_log_cipher::tampering_is_detected()
{
    QFETCH(QByteArray, cypher);
    QFETCH(int, error);
    encryptor_string cipher;
    cipher.encryptToString(QString("set last_error to none first"));
    if (error == encryptor_string::error_unknown_version && cypher.size() >= 3)
        QTest::ignoreMessage(QtWarningMsg, "Invalid version or not a cyphertext.");
    if (QByteArray(QTest::currentDataTag()).contains("expand"))
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("qUncompress.*"));
    QCOMPARE(cipher.decryptToByteArray(cypher), QByteArray());
    QCOMPARE(int(cipher.lastError()), error);
}

void tst_log_cipher::hash_and_both_flags()
{
    const QByteArray payload = "hashed line";
    const QByteArray digest = QCryptographicHash::hash(payload, QCryptographicHash::Sha1);
    encryptor_string cipher;
    QCOMPARE(cipher.decryptToByteArray(reference_cypher(0x04, 1, digest, payload)), payload);
    QCOMPARE(cipher.lastError(), encryptor_string::error_none);
    QByteArray wrong = digest;
    wrong[0] = char(wrong[0] ^ 1);
    QCOMPARE(cipher.decryptToByteArray(reference_cypher(0x04, 1, wrong, payload)), QByteArray());
    QCOMPARE(cipher.lastError(), encryptor_string::error_integrity);
    // Both integrity flags: the CRC is what is checked.
    QCOMPARE(cipher.decryptToByteArray(reference_cypher(0x06, 1, crc_field(payload), payload)), payload);
    // No flag: no check at all.
    QCOMPARE(cipher.decryptToByteArray(reference_cypher(0x00, 1, QByteArray(), payload)), payload);
}

void tst_log_cipher::encrypted_log_reads_back_like_the_plain_one()
{
    QTemporaryDir dir;
    const QString sample = test_support::test_data("sample_takeout");
    const QString plain_log = dir.path() + "/plain.log";
    const QString encrypted_log = dir.path() + "/encrypted.log";
    QCOMPARE(
        run(test_support::host_program(), {"-q", "--log", plain_log, sample, dir.path() + "/a"}).exit_code,
        0);
    QCOMPARE(run(test_support::host_program(),
                 {"-q", "--log", encrypted_log, "--encrypt-log", sample, dir.path() + "/b"})
                 .exit_code,
             0);
    const QByteArray encrypted = test_support::read_file(encrypted_log);
    QVERIFY(!encrypted.contains('\n'));
    const QStringList plain =
        QString::fromLocal8Bit(test_support::read_file(plain_log)).split('\n', Qt::SkipEmptyParts);
    QVERIFY(!plain.isEmpty());
    QCOMPARE(int(encrypted.count("<[{()}]>")), plain.size());

    const process_result decrypted = run(decrypt_tool(), {encrypted_log});
    QCOMPARE(decrypted.exit_code, 0);
    const QStringList lines = decrypted.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), plain.size());
    for (int i = 0; i < lines.size(); ++i)
        QCOMPARE(without_stamp(lines.at(i)).replace("/b/", "/a/"), without_stamp(plain.at(i)));
}

void tst_log_cipher::reader_answers()
{
    QTemporaryDir dir;
    const QString plain = dir.path() + "/plain.log";
    QVERIFY(test_support::write_file(plain, "[x][VORIX_DESK][Artifacts Extraction][f]:-- a plain line\n"));
    QCOMPARE(run(decrypt_tool(), {plain}).exit_code, 2);

    const QString good = encryptor_string().encryptToString(QString("first\nwith a break"));
    QByteArray broken = QByteArray::fromBase64(good.toLatin1());
    broken[broken.size() - 1] = char(broken[broken.size() - 1] ^ 1);
    const QString mixed = dir.path() + "/mixed.log";
    QVERIFY(test_support::write_file(mixed, good.toLatin1() + "<[{()}]>" + broken.toBase64() + "<[{()}]>" +
                                                "!!not base64!!<[{()}]>" + good.toLatin1() + "<[{()}]>"));
    const process_result result = run(decrypt_tool(), {mixed});
    QCOMPARE(result.exit_code, 1);
    QCOMPARE(result.out, QString("first\\nwith a break\nfirst\\nwith a break\n"));
    QVERIFY(result.err.contains("record 2: integrity check failed"));
    QVERIFY(result.err.contains("record 3: bad Base64"));
    QCOMPARE(run(decrypt_tool(), {dir.path() + "/missing.log"}).exit_code, 3);

    const process_result piped = run(decrypt_tool(), {}, good.toLatin1() + "<[{()}]>");
    QCOMPARE(piped.exit_code, 0);
    QCOMPARE(piped.out, QString("first\\nwith a break\n"));
}

void tst_log_cipher::reader_reports_a_log_cut_short_data()
{
    const QByteArray first = encryptor_string().encryptToString(QString("first line")).toLatin1();
    const QByteArray last = encryptor_string().encryptToString(QString("last line")).toLatin1();
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<int>("exit_code");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::newRow("last record cut") << first + "<[{()}]>" + last.left(last.size() - 5) << 1
                                     << QString("first line\n")
                                     << QString("record 2: no separator after it, the log is cut short");
    QTest::newRow("only the separator lost")
        << first + "<[{()}]>" + last << 0 << QString("first line\nlast line\n") << QString();
    QTest::newRow("empty record") << first + "<[{()}]><[{()}]>" << 1 << QString("first line\n")
                                  << QString("record 2: empty record");
    QTest::newRow("line feed after the last separator") << first + "<[{()}]>\n"
                                                        << 0 << QString("first line\n") << QString();
}

void tst_log_cipher::reader_reports_a_log_cut_short()
{
    QFETCH(QByteArray, log);
    QFETCH(int, exit_code);
    QFETCH(QString, out);
    QFETCH(QString, err);
    const process_result result = run(decrypt_tool(), {}, log);
    QCOMPARE(result.exit_code, exit_code);
    QCOMPARE(result.out, out);
    QVERIFY2(result.err.contains(err), qPrintable(result.err));
}

QTEST_MAIN(tst_log_cipher)
#include "tst_log_cipher.moc"
