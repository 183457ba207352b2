#include "appglobals.h"

QString g_apllication_path;
KestrovaMainWidget* g_KestrovaMainWidget_instance = nullptr;
