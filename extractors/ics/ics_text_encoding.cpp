#include "extractors/ics/ics_text_encoding.h"

#include <QString>

namespace
{
// 0x80 to 0x9F; the five unassigned bytes keep their C1 code points, as Windows itself maps them.
const char16_t high_controls[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
} // namespace

QByteArray ics_text_encoding::windows_1252_to_utf8(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (char c : bytes)
    {
        const unsigned char b = static_cast<unsigned char>(c);
        text.append(QChar(b >= 0x80 && b <= 0x9F ? high_controls[b - 0x80] : char16_t(b)));
    }
    return text.toUtf8();
}
