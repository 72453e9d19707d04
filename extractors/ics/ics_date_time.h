#ifndef ICS_DATE_TIME_H
#define ICS_DATE_TIME_H

// The one reader of date and date-time values: yyyyMMdd, yyyyMMddThhmmss with or without a final
// "Z", and the dashed forms yyyy-MM-dd[Thh:mm:ss[.zzz]] some producers write, with "T" or a blank
// between date and time. Strict: exact digit counts, a real calendar date and clock time, year
// 1 to 9999; anything else is no value rather than an invented one.

#include <QByteArrayView>
#include <QDate>
#include <QTime>

class ics_date_time
{
  public:
    enum class kind
    {
        invalid,
        date,     // a day without a time: a floating day
        floating, // a wall clock without a zone
        utc       // ends in "Z"
    };

    static ics_date_time parse(QByteArrayView text);

    bool is_valid() const { return value_kind != kind::invalid; }
    kind value_type() const { return value_kind; }
    QDate date() const { return value_date; }
    QTime time() const { return value_time; } // midnight for a date

    // Seconds since the epoch of a UTC value, without any zone lookup.
    qint64 utc_epoch() const;

  private:
    kind value_kind = kind::invalid;
    QDate value_date;
    QTime value_time;
};

#endif
