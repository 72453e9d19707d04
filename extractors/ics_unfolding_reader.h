#ifndef ICS_UNFOLDING_READER_H
#define ICS_UNFOLDING_READER_H

// Reads an iCalendar file in chunks and yields its logical lines: a line break (CR LF or LF)
// followed by one blank or tab is a fold and is removed from the bytes before decoding, so a
// character split by a fold survives. Memory stays at one chunk plus the current line.

#include <QByteArray>
#include <QIODevice>
#include <QString>

class ics_unfolding_reader
{
  public:
    static constexpr qint64 chunk_size = 64 * 1024;

    explicit ics_unfolding_reader(QIODevice* device);

    // The next line, decoded as UTF-8 and keeping a trailing carriage return; false at the end.
    // A file without any line break yields no lines.
    bool next_line(QString* line);

  private:
    bool fill();
    bool take_line(QByteArray* out);

    QIODevice* device;
    QByteArray buffer;
    qsizetype position = 0;
    QByteArray line_bytes;
    bool at_end = false;
    bool saw_line_break = false;
    bool finished = false;
};

#endif
