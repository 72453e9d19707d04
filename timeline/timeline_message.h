#ifndef TIMELINE_MESSAGE_H
#define TIMELINE_MESSAGE_H

#include "timeline/timeline_entry.h"
#include "timeline/timeline_event.h"

#include <QList>
#include <QString>

#include <string>
#include <vector>

// The words of an entry: what kind of time it is, and the message a person reads. Values are
// unescaped here, for reading; the database and the copied columns keep them as stored. What an
// event's entries share (title, calendar, guests) is prepared once per event, as UTF-8, when the
// composer is made: a message is then a few byte copies (a large timeline has millions of them), and
// messages may be composed on several threads at once.
class timeline_message
{
  public:
    explicit timeline_message(const QList<timeline_event>& events);

    // Appends the message of `entry`, UTF-8, to `out`.
    void compose(const timeline_entry& entry, std::string* out) const;

    static QString description(timeline_entry_kind kind);
    // "\," "\;" "\n" "\N" "\\" as RFC 5545 escapes them; any other backslash stays.
    static QString unescaped(const QString& text);
    // ISO 8601 in UTC with "Z", appended to `out`; years 1 to 9999.
    static void append_iso_utc(std::string* out, qint64 seconds);

  private:
    struct event_words
    {
        std::string heading; // ": title (calendar)"
        std::string calendar;
        std::string people;
        std::string zone;
        std::string series; // "occurrence of series UID"
    };
    static event_words words_of(const timeline_event& row);

    const QList<timeline_event>& events;
    std::vector<event_words> words;
    std::vector<std::string> descriptions;
};

#endif
