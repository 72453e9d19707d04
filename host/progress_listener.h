#ifndef PROGRESS_LISTENER_H
#define PROGRESS_LISTENER_H

#include <QObject>

// Receives the plug-in's overall record count and shows it on one updating terminal line.
class progress_listener : public QObject
{
    Q_OBJECT

public:
    explicit progress_listener(bool show_on_terminal, QObject* parent = nullptr);
    ~progress_listener() override;

    qint64 last_count() const { return last_count_qint64; }

public slots:
    void slot_records(qint64 records);

private:
    bool show_on_terminal_bool;
    bool line_shown_bool = false;
    qint64 last_count_qint64 = 0;
};

#endif
