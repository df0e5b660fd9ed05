#pragma once
// Window menus and the full-screen menu strip: the menu sets of
// oscmd/menu_sets.h shown to the user and the chosen ids routed back.
#include <cstdint>

#include "oscmd/menu_sets.h"

// The strip's height and its state; start-up makes it.
int CreateMenuStripWindow();
void DestroyMenuSets();
void DestroyMenuBarSet();
bool IsMenuStripShown();
void ShowMenuStrip(bool shown);
int32_t GetMenuStripHeight();
bool HasMenuBarTopMenu();
// Runs the popup of the pending set at its stored position; the chosen
// command id, 0 when nothing was chosen.
int32_t TrackPendingPopup(int32_t menuSet);
