// The program's window descriptions: what window to build, with which
// controls, where, and with which settings. They are stored as a resource
// (res/main_window.dat, made by res/make_window_data.py) and read here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class UnitType : uint8_t { kWindow, kLabel, kPicBox, kButton, kCommonDlg, kHtmlViewer };

enum EventCode : uint16_t { kEventClick = 1 };

enum SettingKey : uint16_t {
  kSetText = 1,
  kSetPicture = 2,
  kSetFontSize = 3,
  kSetOffline = 4,
  kSetSilent = 5,
  kSetUrl = 6,
  kSetKind = 10,
  kSetTitle = 11,
  kSetFileName = 12,
  kSetFilter = 13,
  kSetInitialFilter = 14,
  kSetInitialDirectory = 15,
  kSetDefaultExtension = 16,
  kSetPromptToCreate = 17,
  kSetFileMustExist = 18,
  kSetOverwritePrompt = 19,
  kSetPathMustExist = 20,
  kSetNoChangeDirectory = 21,
};

struct EventBinding {
  uint16_t event = 0;
  std::string routine;
  void (*bound)() = nullptr;  // filled in when the shell binds the routines
};

struct EntryDesc {
  UnitType type = UnitType::kWindow;
  int32_t id = 0;
  std::string name;
  int32_t left = 0, top = 0, width = 0, height = 0;
  bool visible = false, enabled = false, tabStop = false;
  int32_t tabKey = 0;
  std::vector<EventBinding> events;
  std::vector<std::pair<uint16_t, std::string>> settings;

  bool Has(uint16_t key) const;
  std::string Text(uint16_t key) const;  // "" when absent
  int32_t Int(uint16_t key, int32_t fallback) const;
  bool Bool(uint16_t key, bool fallback) const { return Int(key, fallback ? 1 : 0) != 0; }
  void (*Handler(uint16_t event) const)();
};

struct WindowDesc {
  EntryDesc window;
  std::vector<EntryDesc> controls;  // in list order
};

// Reads the stored descriptions; false for data that is damaged in any way
// (short, wrong counts, unknown types, trailing bytes).
bool ReadWindowData(const unsigned char* data, size_t size, std::vector<WindowDesc>* windows);
