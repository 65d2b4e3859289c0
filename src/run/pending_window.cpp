// The main window is not part of this build yet: nothing receives its messages.
#include "app/app_messages.h"

void gf_postAppMessage(AppMessage) {}
