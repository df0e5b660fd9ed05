#pragma once
// The tray icon of the main window.
void RemoveTrayIcon();
