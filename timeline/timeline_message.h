#ifndef TIMELINE_MESSAGE_H
#define TIMELINE_MESSAGE_H

#include "timeline/timeline_entry.h"
#include "timeline/timeline_event.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The words of an entry: what kind of time it is, and the message a person reads. Values are
// unescaped here, for reading; the database and the copied columns keep them as stored. What an
// event's entries share (title, calendar, guests) is prepared once per event, as UTF-8, so a message
// is a few byte copies: a large timeline has millions of them.
class timeline_message
{
  public:
    explicit timeline_message(const QList<timeline_event>& events);

    // Appends the message of `entry`, UTF-8, to `out`.
    void compose(const timeline_entry& entry, QByteArray* out);

    static QString description(timeline_entry_kind kind);
    // "\," "\;" "\n" "\N" "\\" as RFC 5545 escapes them; any other backslash stays.
    static QString unescaped(const QString& text);
    // ISO 8601 in UTC with "Z", appended to `out`; years 1 to 9999.
    static void append_iso_utc(QByteArray* out, qint64 seconds);

  private:
    struct event_words
    {
        bool prepared = false;
        QByteArray heading; // ": title (calendar)"
        QByteArray calendar;
        QByteArray people;
        QByteArray zone;
        QByteArray series; // "occurrence of series UID"
    };
    const event_words& words_of(qsizetype event);

    const QList<timeline_event>& events;
    QList<event_words> words;
    QList<QByteArray> descriptions;
};

#endif
