#include "timeline/timeline_settings.h"

#include <QDateTime>

namespace
{
std::optional<qint64> midnight_utc(const QString& text)
{
    const QDate date = QDate::fromString(text, "yyyy-MM-dd");
    if (text.size() != 10 || !date.isValid())
        return std::nullopt;
    return QDateTime(date, QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
}
} // namespace

QString timeline_settings::set_from(const QString& date, const QString& option)
{
    from = midnight_utc(date);
    if (!from)
        return option + " takes a date as 2024-03-14, not " + date;
    if (until && *until <= *from)
        return "the window is empty: " + option + " is not before the end";
    return QString();
}

QString timeline_settings::set_until(const QString& date, const QString& option)
{
    until = midnight_utc(date);
    if (!until)
        return option + " takes a date as 2024-03-14, not " + date;
    if (from && *until <= *from)
        return "the window is empty: " + option + " is not after the start";
    return QString();
}
