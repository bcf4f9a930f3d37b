// Copies of varnook.exe with other program data: the window description read
// from res/main_window.dat, changed, and put back into a copy's resources.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/window_data.h"

// The stored window data, as bytes and as descriptions.
std::string StoredWindowData();
std::vector<WindowDesc> StoredWindows();
// The stored descriptions after `edit`, written out in the stored form.
std::string Edited(const std::function<void(std::vector<WindowDesc>&)>& edit);

// The first control of this kind in the main window's description.
EntryDesc& ControlOfType(std::vector<WindowDesc>& windows, UnitType type);
// Replaces the setting's value, or adds the setting.
void SetSetting(EntryDesc& entry, uint16_t key, const std::string& value);

// A copy of the program in a folder of its own whose window data is `data`;
// "" when the copy could not be made.
std::string ProgramWithWindowData(const std::string& data);
// A copy of the program without any resource: no window data, icon, manifest
// or version. (Wine cannot remove one resource alone.)
std::string ProgramWithoutResources();
