// gcal-log-decrypt [FILE]: reads an encrypted debug log (or standard input) and prints every
// record as one plain line. A record that cannot be read is reported on standard error with its
// number and the reason; the others are still printed.
// Exit status: 0 all records read, 1 some failed, 2 no record at all (a plain log, say), 3 no input.

#include "support/encryptor_string.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace
{
const QByteArray separator = "<[{()}]>";

QString reason_of(encryptor_string::error_enum error)
{
    switch (error)
    {
    case encryptor_string::error_no_key:
        return "no key";
    case encryptor_string::error_unknown_version:
        return "unknown version, not a cyphertext";
    case encryptor_string::error_integrity:
        return "integrity check failed";
    case encryptor_string::error_none:
        break;
    }
    return QString();
}

// Decrypts one Base64 record; empty reason on success.
QString read_record(const QByteArray& record, QString* line)
{
    const auto decoded =
        QByteArray::fromBase64Encoding(record.trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.isEmpty())
        return "bad Base64";
    encryptor_string cipher;
    *line = cipher.decryptToString(decoded.decoded);
    return reason_of(cipher.lastError());
}

bool read_input(const QString& path, QByteArray* bytes)
{
    QFile file;
    const bool opened = path.isEmpty() ? file.open(stdin, QIODevice::ReadOnly)
                                       : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!opened)
        return false;
    *bytes = file.readAll();
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.size() > 1)
    {
        std::fputs("usage: gcal-log-decrypt [FILE]\n", stderr);
        return 3;
    }
    QByteArray input;
    if (!read_input(arguments.value(0), &input))
    {
        std::fprintf(stderr, "gcal-log-decrypt: cannot read %s\n",
                     qPrintable(arguments.value(0, "standard input")));
        return 3;
    }

    QList<QByteArray> records;
    qsizetype from = 0;
    for (qsizetype at = input.indexOf(separator); at >= 0; at = input.indexOf(separator, from))
    {
        records << input.mid(from, at - from);
        from = at + separator.size();
    }
    if (records.isEmpty())
    {
        std::fputs("gcal-log-decrypt: no encrypted record in the input\n", stderr);
        return 2;
    }

    int failed = 0;
    for (int i = 0; i < records.size(); ++i)
    {
        QString line;
        const QString reason = read_record(records.at(i), &line);
        if (!reason.isEmpty())
        {
            ++failed;
            std::fprintf(stderr, "gcal-log-decrypt: record %d: %s\n", i + 1, qPrintable(reason));
            continue;
        }
        // One record, one line: a line break inside an entry is shown as \r or \n.
        line.replace('\r', "\\r").replace('\n', "\\n");
        std::fputs(line.toLocal8Bit().constData(), stdout);
        std::fputc('\n', stdout);
    }
    return failed ? 1 : 0;
}
