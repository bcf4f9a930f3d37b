#include "program_copies.h"

#include <windows.h>

#include "driver/driver.h"
#include "driver/servers.h"
#include "fuzz/parser_checks.h"

namespace {

// The languages the window data is stored in (windres: US English).
std::vector<WORD> WindowDataLanguages(const std::string& exe) {
  std::vector<WORD> languages;
  HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return languages;
  EnumResourceLanguagesA(
      module, MAKEINTRESOURCEA(10), "WINDOWDATA",
      [](HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR found) -> BOOL {
        reinterpret_cast<std::vector<WORD>*>(found)->push_back(language);
        return TRUE;
      },
      reinterpret_cast<LONG_PTR>(&languages));
  FreeLibrary(module);
  return languages;
}

std::string CopyOfProgram(const char* name) {
  std::string exe = MakeTempFolder(name) + "\\varnook.exe";
  return CopyFileA(ProgramPath().c_str(), exe.c_str(), FALSE) ? exe : "";
}

}  // namespace

std::string StoredWindowData() { return ReadWholeFile(VARNOOK_RES_DIR "/main_window.dat"); }

std::vector<WindowDesc> StoredWindows() {
  std::string data = StoredWindowData();
  std::vector<WindowDesc> windows;
  ReadWindowData(reinterpret_cast<const unsigned char*>(data.data()), data.size(), &windows);
  return windows;
}

std::string Edited(const std::function<void(std::vector<WindowDesc>&)>& edit) {
  std::vector<WindowDesc> windows = StoredWindows();
  if (windows.empty()) return "";
  edit(windows);
  return WriteWindowData(windows);
}

EntryDesc& ControlOfType(std::vector<WindowDesc>& windows, UnitType type) {
  for (EntryDesc& c : windows[0].controls)
    if (c.type == type) return c;
  return windows[0].controls.at(0);
}

void SetSetting(EntryDesc& entry, uint16_t key, const std::string& value) {
  for (auto& s : entry.settings) {
    if (s.first == key) {
      s.second = value;
      return;
    }
  }
  entry.settings.emplace_back(key, value);
}

// Written in the language the data is stored in, so that no other copy of it
// is left to be found.
std::string ProgramWithWindowData(const std::string& data) {
  std::string exe = CopyOfProgram("copy");
  std::vector<WORD> languages = exe.empty() ? std::vector<WORD>() : WindowDataLanguages(exe);
  if (languages.empty()) return "";
  HANDLE update = BeginUpdateResourceA(exe.c_str(), FALSE);
  if (!update) return "";
  BOOL ok = TRUE;
  for (WORD language : languages) {
    ok = ok && UpdateResourceA(update, MAKEINTRESOURCEA(10), "WINDOWDATA", language,
                               const_cast<char*>(data.data()), static_cast<DWORD>(data.size()));
  }
  return EndUpdateResourceA(update, !ok) && ok ? exe : "";
}

std::string ProgramWithoutResources() {
  std::string exe = CopyOfProgram("bare");
  if (exe.empty()) return "";
  HANDLE update = BeginUpdateResourceA(exe.c_str(), TRUE);
  return update && EndUpdateResourceA(update, FALSE) && WindowDataLanguages(exe).empty() ? exe : "";
}
