#pragma once
// The GTK 3 side of the text dialogs (dialogs.h). GTK starts the first time
// a dialog is needed; kDialogFailed when it cannot (no display).
#include <string>

#include "platform/dialogs.h"

struct PlatformWindow;

int RunGtkTextDialog(PlatformWindow* owner, const TextDialogRequest& request, std::string* result);
