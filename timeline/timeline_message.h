#ifndef TIMELINE_MESSAGE_H
#define TIMELINE_MESSAGE_H

#include "timeline/timeline_entry.h"
#include "timeline/timeline_event.h"

#include <QString>

// The words of an entry: what kind of time it is, and the message a person reads. Values are
// unescaped here, for reading; the database and the copied columns keep them as stored.
class timeline_message
{
  public:
    static QString description(timeline_entry_kind kind);
    static QString compose(const timeline_entry& entry, const timeline_event& event);
    // "\," "\;" "\n" "\N" "\\" as RFC 5545 escapes them; any other backslash stays.
    static QString unescaped(const QString& text);
    // ISO 8601 in UTC with "Z".
    static QString iso_utc(qint64 seconds);
};

#endif
