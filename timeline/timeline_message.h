#ifndef TIMELINE_MESSAGE_H
#define TIMELINE_MESSAGE_H

#include "timeline/timeline_entry.h"
#include "timeline/timeline_event.h"

#include <QList>
#include <QString>

// The words of an entry: what kind of time it is, and the message a person reads. Values are
// unescaped here, for reading; the database and the copied columns keep them as stored. What an
// event's entries share (title, calendar, guests) is prepared once per event.
class timeline_message
{
  public:
    explicit timeline_message(const QList<timeline_event>& events);

    QString compose(const timeline_entry& entry);

    static QString description(timeline_entry_kind kind);
    // "\," "\;" "\n" "\N" "\\" as RFC 5545 escapes them; any other backslash stays.
    static QString unescaped(const QString& text);
    // ISO 8601 in UTC with "Z".
    static QString iso_utc(qint64 seconds);

  private:
    struct event_words
    {
        bool prepared = false;
        QString heading; // ": title (calendar)"
        QString calendar;
        QString people;
        QString zone;
    };
    const event_words& words_of(qsizetype event);

    const QList<timeline_event>& events;
    QList<event_words> words;
};

#endif
