#ifndef ICS_CONTENT_LINE_H
#define ICS_CONTENT_LINE_H

// One unfolded iCalendar content line, split as the grammar writes it:
//   name *(";" param-name "=" param-value *("," param-value)) ":" value
// A parameter value in double quotes may hold ",", ";" and ":"; its colon does not end the
// parameters. Views point into the line, which must outlive the object; nothing is copied until a
// parameter value is asked for.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

class ics_content_line
{
  public:
    // False when the line has no name or no colon ending its parameters.
    bool parse(QByteArrayView line);

    QByteArrayView name() const { return name_view; }
    // Names are case-insensitive; `upper` is the upper-case spelling.
    bool is(QByteArrayView upper) const;
    bool has_parameters() const { return !parameters_view.isEmpty(); }
    // Everything between the name and the value, starting with ";" (empty without parameters).
    QByteArrayView raw_parameters() const { return parameters_view; }
    // The value as written, ASCII white space at both ends removed.
    QByteArrayView value() const { return value_view; }

    // The first value of the parameter `upper_name` (names case-insensitive), quotes removed and
    // caret escapes decoded; empty when absent.
    QByteArray parameter(QByteArrayView upper_name) const;
    bool has_parameter(QByteArrayView upper_name) const;
    // Every value of the parameter (a comma-separated list), each unquoted and decoded.
    QList<QByteArray> parameter_values(QByteArrayView upper_name) const;

    // Each parameter's name, as written, and its raw text after "=", in order.
    struct raw_parameter
    {
        QByteArrayView name;
        QByteArrayView values;
    };
    QList<raw_parameter> parameters() const;

    static bool same_name(QByteArrayView written, QByteArrayView upper);
    static QByteArrayView ascii_trimmed(QByteArrayView text);
    static QByteArray unquoted(QByteArrayView value);

  private:
    bool find_parameter(QByteArrayView upper_name, QByteArrayView* values) const;

    QByteArrayView name_view;
    QByteArrayView parameters_view;
    QByteArrayView value_view;
};

#endif
