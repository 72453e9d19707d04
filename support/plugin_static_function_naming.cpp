#include "support/plugin_static_function.h"

#include <QDir>
#include <QDirIterator>

namespace
{
QString with_leading_slash(QString path)
{
    if (!path.startsWith("/") && !path.trimmed().isEmpty())
        path.prepend("/");
    return path;
}

const QString home_directory_type = "macOS_Home_Directory";
} // namespace

QString plugin_static_function::get_source_count_name()
{
    return "Source" + QString::number(source_count_int);
}

QString plugin_static_function::get_complete_file_path(QString path, QString user_name, QString path_type)
{
    const QString users_prefix = "/Users/";
    if (path_type == home_directory_type && path.startsWith(users_prefix))
    {
        // A bare home path (/Users/bob) has no rest to keep: all of it is the home folder.
        int rest = path.indexOf("/", users_prefix.size());
        if (rest < 0)
            rest = path.size();
        path = users_prefix + user_name + path.mid(rest);
    }
    return with_leading_slash(path);
}

QString plugin_static_function::get_relative_file_path(QString path, QString root, QString path_type)
{
    if (path_type == home_directory_type)
    {
        const int at = path.indexOf(root);
        if (at >= 0)
            path.remove(0, at + root.size());
    }
    return with_leading_slash(path);
}

QPair<QString, QString> plugin_static_function::get_final_artifact_source_file(QString path, QString root,
                                                                               QString path_type)
{
    const QString complete = (path_type == home_directory_type) ? path : QString();
    return qMakePair(get_relative_file_path(path, root, path_type), complete);
}

struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_system_account
plugin_static_function::extract_user_name_from_sourcefile(QString path, QString root)
{
    struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_system_account account;
    if (system_account_QList.isEmpty())
        return account;

    const QStringList parts = path.mid(root.size()).split("/");
    if (parts.size() < 2)
    {
        account.system_user = "";
        return account;
    }

    account.system_user = parts.at(1);
    account.domain_user = "";
    for (const auto& known : std::as_const(system_account_QList))
    {
        if (known.system_user == account.system_user)
        {
            account = known;
            break;
        }
    }
    return account;
}

QString plugin_static_function::get_available_file(QString file_path, QString dest_dir, QString caller)
{
    QDir().mkpath(dest_dir);
    const QString file_name = file_path.mid(file_path.lastIndexOf("/") + 1);
    QString candidate = file_name;
    if (bool_cancel_extraction)
        return QString();

    int n = 1;
    while (!bool_cancel_extraction)
    {
        if (!is_file_exist_in_dir(dest_dir, candidate, caller))
            return candidate;
        candidate = QString::number(n) + "_" + file_name;
        ++n;
    }
    return QString();
}

bool plugin_static_function::is_file_exist_in_dir(QString dir, QString file_name, QString caller)
{
    Q_UNUSED(caller);
    const QString wanted = file_name.trimmed();
    // Hidden entries count too: a name is free only when nothing at all holds it.
    QDirIterator entries(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (entries.hasNext() && !bool_cancel_extraction)
    {
        entries.next();
        if (entries.fileName().trimmed() == wanted)
            return true;
    }
    return false;
}
