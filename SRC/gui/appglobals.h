// The program's two process-wide values, set once during start-up.
#pragma once

#include <QString>

class KestrovaMainWidget;

// The folder the program was started from.
extern QString g_apllication_path;

// The one main window; set by its constructor, read by windows that place
// their dialogs over it.
extern KestrovaMainWidget* g_KestrovaMainWidget_instance;
