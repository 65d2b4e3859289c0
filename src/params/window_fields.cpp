#include "params/window_fields.h"

MainWindow g_mainWindow;
