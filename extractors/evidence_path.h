#ifndef EVIDENCE_PATH_H
#define EVIDENCE_PATH_H

// Evidence paths as the file system's own bytes. A name that is not valid UTF-8 (a Latin-1 name
// from an older system or archive tool) cannot round-trip through QString, so walking and opening
// go by bytes, and only the text shown in the result database is decoded, with every byte that
// is not part of a valid UTF-8 sequence written as \xHH (upper-case hex).

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

namespace evidence_path
{
enum class entry_kind
{
    folder,
    regular_file,
    link,
    other // fifo, socket, device: never opened
};

struct entry
{
    QByteArray name;
    entry_kind kind;
};

// True when the bytes are valid UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool is_valid_utf8(QByteArrayView bytes);

// The bytes as text: valid UTF-8 sequences decoded, every other byte as \xHH.
QString display_form(QByteArrayView bytes);

// The exact bytes of a path given as text (the host's paths are text): UTF-8.
QByteArray bytes_of(const QString& path);

// The entries of one folder without "." and "..", sorted by their bytes; links are reported as
// links, never followed. Empty when the folder cannot be read.
QList<entry> list_folder(const QByteArray& folder);

// Kind of the entry at `path`, without following a final link; false when it does not exist.
bool kind_of(const QByteArray& path, entry_kind* kind);

bool is_hidden(QByteArrayView name);
} // namespace evidence_path

#endif
