#include "support/plugin_helper_functions.h"

plugin_helper_functions::plugin_helper_functions(QWidget* parent) : cancel_extraction_bool(false)
{
    Q_UNUSED(parent);
}

plugin_helper_functions::~plugin_helper_functions() = default;

void plugin_helper_functions::set_essentials() { cancel_extraction_bool = false; }

void plugin_helper_functions::set_cancel_extraction(bool cancel) { cancel_extraction_bool = cancel; }

void plugin_helper_functions::set_adhoc_parent_path(QString path) { adhoc_parent_path_QString = path; }
