#pragma once
// GTK and its main context serve one thread at a time. With threaded
// stepping the text dialogs and the tray's own calls run on the script
// thread while the main thread pumps the tray's events: each of those takes
// this lock for its whole run, and the pump only tries it and skips a turn
// while another thread is inside GTK (the dialog's own loop serves the tray
// meanwhile).
#include <mutex>

std::recursive_mutex& GtkLock();
