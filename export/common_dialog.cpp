#include "export/common_dialog.h"

#include <commdlg.h>

#include "app/shell.h"
#include "export/filter_list.h"

namespace {

constexpr char kControlClass[] = "VarnookCommonDialog";
constexpr DWORD kNameBufferSize = 260;
constexpr DWORD kTitleBufferSize = 64;

ATOM controlClass = 0;

// Centres the system dialog over its owner once it has its final size.
void CenterOverOwner(HWND dialog) {
  HWND owner = GetWindow(dialog, GW_OWNER);
  RECT ownerRect, dialogRect;
  if (!owner || !GetWindowRect(owner, &ownerRect) || !GetWindowRect(dialog, &dialogRect)) return;
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  if (!GetMonitorInfoA(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor)) return;
  POINT at = CenterOver(ownerRect, dialogRect.right - dialogRect.left, dialogRect.bottom - dialogRect.top,
                        monitor.rcWork);
  SetWindowPos(dialog, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// With OFN_EXPLORER the hook runs in an empty child dialog of the system
// dialog; answers go back through DWLP_MSGRESULT.
UINT_PTR CALLBACK DialogHook(HWND child, UINT message, WPARAM, LPARAM lParam) {
  if (message != WM_NOTIFY) return 0;
  const auto* notify = reinterpret_cast<const OFNOTIFYA*>(lParam);
  switch (notify->hdr.code) {
    case CDN_INITDONE:
      CenterOverOwner(GetParent(child));
      return 0;
    case CDN_FILEOK:
      // Every name the system dialog accepts is accepted.
      SetWindowLongPtrA(child, DWLP_MSGRESULT, 0);
      return TRUE;
    case CDN_SHAREVIOLATION:
      SetWindowLongPtrA(child, DWLP_MSGRESULT, OFN_SHAREWARN);
      return TRUE;
    default:
      return 0;
  }
}

// The main window, or the thread's active window when there is none, as a
// top-level window.
HWND OwnerTopLevel() {
  HWND window = MainWindow();
  if (!window) window = GetActiveWindow();
  if (window && (GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD)) {
    window = GetAncestor(window, GA_ROOT);
  }
  return window;
}

// Keeps the owner (and its top-level window) disabled while the system
// dialog runs, then enables what it disabled and gives the focus back.
class OwnerDisabled {
 public:
  OwnerDisabled(HWND owner, HWND topLevel) : focus_(GetFocus()) {
    if (owner && IsWindowEnabled(owner)) {
      EnableWindow(owner, FALSE);
      owner_ = owner;
    }
    if (topLevel && topLevel != owner && IsWindowEnabled(topLevel)) {
      EnableWindow(topLevel, FALSE);
      topLevel_ = topLevel;
    }
  }
  ~OwnerDisabled() {
    if (topLevel_) EnableWindow(topLevel_, TRUE);
    if (owner_) EnableWindow(owner_, TRUE);
    if (focus_ && IsWindow(focus_)) SetFocus(focus_);
  }
  OwnerDisabled(const OwnerDisabled&) = delete;
  OwnerDisabled& operator=(const OwnerDisabled&) = delete;

 private:
  HWND focus_;
  HWND owner_ = nullptr;
  HWND topLevel_ = nullptr;
};

const char* OrNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

LRESULT CALLBACK ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE: {
      const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      const auto* settings = static_cast<const CommonDialogSettings*>(create->lpCreateParams);
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new CommonDialog(*settings)));
      break;
    }
    case WM_NCDESTROY:
      delete CommonDialogFromWindow(hwnd);
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      break;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

bool CommonDialog::Open() {
  bool save = settings_.kind == kSaveFileDialog;
  if (!save && settings_.kind != kOpenFileDialog) return false;

  std::string filterList = BuildFilterList(settings_.filter);
  char name[kNameBufferSize] = {};
  char title[kTitleBufferSize] = {};
  settings_.fileName.copy(name, kNameBufferSize - 1);

  OPENFILENAMEA ofn = {};
  // The structure as it was before its three trailing fields: the classic
  // dialog that a hook without a template expects.
  ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  ofn.hInstance = GetModuleHandleA(nullptr);
  ofn.lpstrFilter = OrNull(filterList);
  ofn.nFilterIndex = FilterIndex(!filterList.empty(), settings_.initialFilter);
  ofn.lpstrFile = name;
  ofn.nMaxFile = kNameBufferSize;
  ofn.lpstrFileTitle = title;
  ofn.nMaxFileTitle = kTitleBufferSize;
  ofn.lpstrInitialDir = OrNull(settings_.initialDirectory);
  ofn.lpstrTitle = OrNull(settings_.title);
  ofn.Flags = DialogFlags(settings_);
  ofn.lpstrDefExt = OrNull(settings_.defaultExtension);
  ofn.lpfnHook = DialogHook;

  HWND topLevel = OwnerTopLevel();
  ofn.hwndOwner = topLevel ? GetLastActivePopup(topLevel) : nullptr;
  BOOL confirmed;
  {
    OwnerDisabled disabled(ofn.hwndOwner, topLevel);
    confirmed = save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
  }
  // A zero result is a cancel, a closed dialog or a failure alike: the name
  // stays as it was.
  if (!confirmed) return false;
  settings_.fileName = name;
  return true;
}

Text CommonDialog::FileName() const {
  if (settings_.fileName.empty()) return nullptr;
  return JoinTexts({settings_.fileName.c_str()});
}

HWND CreateCommonDialogControl(HWND parent, int id, const RECT& place, DWORD style,
                               const CommonDialogSettings& settings) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!controlClass) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = ControlProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kControlClass;
    controlClass = RegisterClassExA(&windowClass);
    if (!controlClass) return nullptr;
  }
  // The window makes its own copy of the settings at WM_NCCREATE and frees
  // it at WM_NCDESTROY, also when creation fails half-way.
  return CreateWindowExA(0, MAKEINTATOM(controlClass), "", style, place.left, place.top,
                         place.right - place.left, place.bottom - place.top, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                         const_cast<CommonDialogSettings*>(&settings));
}

CommonDialog* CommonDialogFromWindow(HWND hwnd) {
  if (!hwnd || !controlClass || GetClassLongPtrA(hwnd, GCW_ATOM) != controlClass) return nullptr;
  return reinterpret_cast<CommonDialog*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}
