#ifndef PLUGIN_HELPER_FUNCTIONS_H
#define PLUGIN_HELPER_FUNCTIONS_H

// Media classification by file extension, and copies of evidence files into the scratch folder.
// A plain object (not a Qt object): the plug-in object owns and deletes it.

#include <QString>
#include <QStringList>
#include <QWidget>

#include <atomic>

class plugin_helper_functions
{
public:
    explicit plugin_helper_functions(QWidget* parent = nullptr);
    ~plugin_helper_functions();

    void set_essentials();
    void set_cancel_extraction(bool cancel);
    void set_adhoc_parent_path(QString path);

private:
    std::atomic<bool> cancel_extraction_bool;
    QString adhoc_parent_path_QString;
};

#endif
