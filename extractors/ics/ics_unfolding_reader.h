#ifndef ICS_UNFOLDING_READER_H
#define ICS_UNFOLDING_READER_H

// Reads an iCalendar file in chunks and yields its logical lines as UTF-8 bytes: a line break
// (CR LF or LF) followed by one blank or tab is a fold and is removed from the bytes before any
// decoding, so a character split by a fold survives. Memory stays at one chunk plus the current
// line, whatever the file's size; a line longer than the limit is left out whole (its start is
// kept for the log) instead of being gathered until memory runs out.

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QList>

class ics_unfolding_reader
{
  public:
    static constexpr qint64 chunk_size = 256 * 1024;
    static constexpr qsizetype max_line_size = 256 * 1024 * 1024;

    explicit ics_unfolding_reader(QIODevice* device, qint64 chunk_bytes = chunk_size,
                                  qsizetype max_line_bytes = max_line_size);

    // The next line, keeping a trailing carriage return; false at the end. The view stays valid
    // until the next call. A file without any line break yields no lines.
    bool next_line(QByteArrayView* line);

    // Byte offsets, in the device, of the lines left out for their length, in file order.
    const QList<qint64>& left_out_line_offsets() const { return left_out_offsets; }

    // The physical line (1-based, counting every line break of the file) where the last line
    // given by next_line() starts.
    qint64 line_number() const { return current_line_number; }

    // The byte offset where reading the device failed, or -1: the lines before it were given, the
    // rest of the file could not be read.
    qint64 read_error_offset() const { return failed_read_offset; }

  private:
    bool fill();
    bool take_line();
    bool line_within_buffer(QByteArrayView* line);
    void keep(const char* bytes, qsizetype size);
    qint64 device_offset() const;

    QIODevice* device;
    qint64 chunk_bytes;
    qsizetype max_line_bytes;
    bool line_too_long = false;
    QList<qint64> left_out_offsets;
    QByteArray buffer;
    qsizetype position = 0;
    QByteArray line_bytes;
    bool at_end = false;
    bool saw_line_break = false;
    bool finished = false;
    qint64 breaks_consumed = 0;
    qint64 current_line_number = 0;
    qint64 failed_read_offset = -1;
};

#endif
