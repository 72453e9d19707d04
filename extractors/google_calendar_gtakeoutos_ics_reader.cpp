#include "extractors/google_calendar_gtakeoutos.h"

#include "support/plugin_static_function.h"

#include <QSqlDatabase>
#include <QSqlError>

void google_calendar_gtakeoutos::extract_ics_calendar_events()
{
    const QString caller = "void google_calendar_gtakeoutos::extract_ics_calendar_events()";
    plugin_static_function::app_debug("[extract_ics_calendar_events] -START", caller);

    QSqlDatabase::removeDatabase(caller);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", caller);
        db.setDatabaseName(run.destination_db_file_QString);
        if (!db.open())
        {
            plugin_static_function::app_debug("[extract_ics_calendar_events]open destination DB------ FAILED ------",
                                              caller);
            plugin_static_function::app_debug(db.lastError().text(), caller);
            return;
        }
        db.transaction();
        db.commit();
        db.close();
    }
    plugin_static_function::app_debug("[extract_ics_calendar_events] -END", caller);
}
