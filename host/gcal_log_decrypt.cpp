// gcal-log-decrypt [FILE]: reads an encrypted debug log (or standard input) and prints every
// record as one plain line. A record that cannot be read is reported on standard error with its
// number and the reason; the others are still printed.
// Exit status: 0 all records read (or --help), 1 some failed, 2 no record at all (a plain log, say),
// 3 no input (or bad usage).

#include "support/encryptor_string.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace
{
enum exit_status
{
    exit_all_read = 0,
    exit_some_failed = 1,
    exit_no_record = 2,
    exit_no_input = 3
};

const QByteArray separator = "<[{()}]>";

const char usage_text[] =
    "usage: gcal-log-decrypt [FILE]\n"
    "  FILE   a debug log written with gcal-extract --log FILE --encrypt-log (default: standard input);\n"
    "         every record is printed as one plain line, a record that cannot be read is named on\n"
    "         standard error with its number and reason\n"
    "  (a file named --help is read when given as ./--help)\n"
    "Exit status: 0 all records read (and for --help), 1 some records failed, 2 no encrypted record in the\n"
    "input (a plain log, say), 3 no input (FILE cannot be read, or bad usage).\n";

struct log_record
{
    QByteArray base64;
    bool terminated; // false for text after the last separator: the log was cut short
};

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
QString read_record(const QByteArray& base64, QString* line)
{
    const QByteArray trimmed = base64.trimmed();
    if (trimmed.isEmpty())
        return "empty record";
    const auto decoded = QByteArray::fromBase64Encoding(trimmed, QByteArray::AbortOnBase64DecodingErrors);
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

// Every record before a separator; text after the last one is kept as an unterminated record so
// that a log cut off mid-write is reported instead of silently losing its last line.
QList<log_record> split_records(const QByteArray& input)
{
    QList<log_record> records;
    qsizetype from = 0;
    for (qsizetype at = input.indexOf(separator); at >= 0; at = input.indexOf(separator, from))
    {
        records << log_record{input.mid(from, at - from), true};
        from = at + separator.size();
    }
    const QByteArray rest = input.mid(from);
    if (!records.isEmpty() && !rest.trimmed().isEmpty())
        records << log_record{rest, false};
    return records;
}

// One record, one line: a line break inside an entry is shown as \r or \n, as in a plain log.
void print_line(QString line)
{
    line.replace('\r', "\\r").replace('\n', "\\n");
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
}

int print_records(const QList<log_record>& records)
{
    int failed = 0;
    for (int i = 0; i < records.size(); ++i)
    {
        QString line;
        QString reason = read_record(records.at(i).base64, &line);
        if (reason.isEmpty())
        {
            print_line(line);
            continue;
        }
        if (!records.at(i).terminated)
            reason = "no separator after it, the log is cut short: " + reason;
        ++failed;
        std::fprintf(stderr, "gcal-log-decrypt: record %d: %s\n", i + 1, qPrintable(reason));
    }
    return failed ? exit_some_failed : exit_all_read;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.size() == 1 && (arguments.at(0) == "--help" || arguments.at(0) == "-h"))
    {
        std::fputs(usage_text, stdout);
        return exit_all_read;
    }
    if (arguments.size() > 1)
    {
        std::fputs(usage_text, stderr);
        return exit_no_input;
    }
    QByteArray input;
    if (!read_input(arguments.value(0), &input))
    {
        std::fprintf(stderr, "gcal-log-decrypt: cannot read %s\n",
                     qPrintable(arguments.value(0, "standard input")));
        return exit_no_input;
    }
    const QList<log_record> records = split_records(input);
    if (records.isEmpty())
    {
        std::fputs("gcal-log-decrypt: no encrypted record in the input\n", stderr);
        return exit_no_record;
    }
    return print_records(records);
}
