#include "support/plugin_static_function.h"

#include "support/encryptor_string.h"

#include <QDateTime>
#include <QLocale>
#include <QMessageLogger>

namespace
{
QString function_name_from_caller(const QString& caller)
{
    QString name = caller.trimmed();
    if (name.isEmpty())
        return "FUNCTION INFO IS EMPTY ---FAILED--- debug!!!";
    const int paren = name.indexOf('(');
    if (paren >= 0)
        name.truncate(paren);
    name = name.trimmed();
    const int space = name.lastIndexOf(' ');
    if (space >= 0)
        name.remove(0, space);
    return name.trimmed();
}

QString engine_field(int type)
{
    switch (type)
    {
    case 0:
        return "[VORIX_DESK]";
    case 1:
        return "[VORIX_FIELD]";
    case 2:
        return "[VORIX_RELAY]";
    default:
        return "[ -----FAILED----- to find Engine Type ][" + QString::number(type) + "]";
    }
}

// One entry is one line in the file: a line break carried in from evidence must not forge another.
QString single_line(QString line)
{
    return line.replace('\r', "\\r").replace('\n', "\\n");
}
} // namespace

void plugin_static_function::app_debug(QString text, QString caller)
{
    if (!debug_mode_status_bool)
        return;
    if (!debug_print_on_terminal_bool && !(debug_print_in_file_bool && debug_file_regular_QFile.isOpen()))
        return;

    const QString stamp = QLocale::c().toString(QDateTime::currentDateTime(), "yyyy-MMM-ddThh-mm-ss");
    const QString line = "[" + stamp + "]" + engine_field(type_engine_int) + "[Artifacts Extraction][" +
                         function_name_from_caller(caller) + "]:-- " + text;

    if (debug_print_on_terminal_bool)
        QMessageLogger().debug() << line;

    if (debug_print_in_file_bool && debug_file_regular_QFile.isOpen())
    {
        if (debug_encryption_status_bool)
        {
            debug_file_regular_QFile.write(
                encrypt_string(line, "static void plugin_static_function::app_debug(QString, QString)").toLocal8Bit());
            debug_file_regular_QFile.write("<[{()}]>");
        }
        else
        {
            debug_file_regular_QFile.write(single_line(line).toLocal8Bit());
            debug_file_regular_QFile.write("\n");
        }
        debug_file_regular_QFile.flush();
    }
}

QString plugin_static_function::encrypt_string(QString text, QString caller)
{
    Q_UNUSED(caller);
    if (text.isEmpty())
        return QString();
    encryptor_string cipher;
    return cipher.encryptToString(text);
}

void plugin_static_function::set_general_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_general_info info)
{
    debug_file_path_QString = info.debug_file_path;
    debug_mode_status_bool = info.debug_mode_status;
    debug_print_in_file_bool = info.debug_print_in_file;
    debug_print_on_terminal_bool = info.debug_print_on_terminal;
    debug_encryption_status_bool = info.debug_encryption_status;
    if (debug_mode_status_bool && debug_print_in_file_bool)
        open_debug_file();
}

void plugin_static_function::open_debug_file()
{
    if (!debug_mode_status_bool || !debug_print_in_file_bool)
        return;
    if (debug_file_regular_QFile.isOpen())
        debug_file_regular_QFile.close();
    debug_file_regular_QFile.setFileName(debug_file_path_QString);
    debug_file_regular_QFile.open(QIODevice::WriteOnly | QIODevice::Append);
}

void plugin_static_function::close_debug_file()
{
    if (!debug_file_regular_QFile.isOpen())
        return;
    debug_file_regular_QFile.flush();
    debug_file_regular_QFile.close();
}
