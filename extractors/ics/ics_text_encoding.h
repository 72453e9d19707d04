#ifndef ICS_TEXT_ENCODING_H
#define ICS_TEXT_ENCODING_H

// Old programs exported calendars in Windows-1252; such bytes are read as that code page rather
// than stored as replacement characters.

#include <QByteArray>
#include <QByteArrayView>

class ics_text_encoding
{
  public:
    static QByteArray windows_1252_to_utf8(QByteArrayView bytes);
};

#endif
