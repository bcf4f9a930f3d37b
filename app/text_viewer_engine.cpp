#include "app/text_viewer_engine.h"

#include <wininet.h>

#include <atomic>
#include <mutex>

#include "export/download.h"
#include "export/download_error.h"
#include "export/values.h"

namespace {

const char kClassName[] = "VarnookTextViewer";
// The worker's report: wParam is the load's number.
constexpr UINT kLoadDone = WM_APP + 1;
// How long the GUI thread gives a stopped load to let go of its handles.
constexpr DWORD kStopWaitMs = 500;
constexpr int kFontHeights[] = {10, 12, 14, 17, 20};
// "……列表过长，只显示了开头的 4 MB。"
const char kCutNotice[] =
    "\xA1\xAD\xA1\xAD\xC1\xD0\xB1\xED\xB9\xFD\xB3\xA4\xA3\xAC\xD6\xBB\xCF\xD4\xCA\xBE\xC1\xCB\xBF\xAA\xCD\xB7\xB5\xC4 4 MB"
    "\xA1\xA3";

// "完成"
const char kDoneStatus[] = "\xCD\xEA\xB3\xC9";
// "无法显示该网页"
const char kCannotShow[] = "\xCE\xDE\xB7\xA8\xCF\xD4\xCA\xBE\xB8\xC3\xCD\xF8\xD2\xB3";
// "脱机浏览：未从网络读取此网页。"
const char kOfflineNotice[] =
    "\xCD\xD1\xBB\xFA\xE4\xAF\xC0\xC0\xA3\xBA\xCE\xB4\xB4\xD3\xCD\xF8\xC2\xE7\xB6\xC1\xC8\xA1\xB4\xCB\xCD\xF8"
    "\xD2\xB3\xA1\xA3";

bool RegisterViewerClass(WNDPROC proc) {
  static ATOM atom = [proc] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kClassName;
    return RegisterClassA(&wc);
  }();
  return atom != 0;
}

}  // namespace

// One load of one address. The worker thread and the engine share it; either
// may be the last to let go of it, so a worker that outlives the engine only
// posts to a window that is gone.
struct TextViewerEngine::Load {
  WPARAM id = 0;
  std::string url;
  HWND reportTo = nullptr;
  bool offline = false;

  // Written by the worker before `done` is set, read by the GUI thread after.
  ByteSetValue body;
  DownloadOutcome outcome;
  std::atomic<bool> done{false};

  // The worker's root handle. Closing it breaks off a running fetch, so the
  // GUI thread closes it to stop the load; otherwise the worker closes it.
  std::mutex rootLock;
  HINTERNET root = nullptr;
  bool stopped = false;

  void Fetch();
  void Stop();
  void Report() {
    done.store(true, std::memory_order_release);
    PostMessageA(reportTo, kLoadDone, id, 0);
  }
};

void TextViewerEngine::Load::Fetch() {
  HINTERNET opened = OpenInternetRoot();
  DWORD openError = GetLastError();
  {
    std::lock_guard<std::mutex> hold(rootLock);
    if (stopped && opened) {
      InternetCloseHandle(opened);
      opened = nullptr;
      openError = ERROR_INTERNET_OPERATION_CANCELLED;
    }
    root = opened;
  }
  if (opened) {
    body.reset(FetchUrl(opened, url.c_str(), &outcome));
  } else {
    outcome.kind = DownloadOutcome::kNetwork;
    outcome.error = openError;
    outcome.failedCall = "InternetOpenA";
  }
  {
    std::lock_guard<std::mutex> hold(rootLock);
    if (root) InternetCloseHandle(root);
    root = nullptr;
  }
  Report();
}

void TextViewerEngine::Load::Stop() {
  std::lock_guard<std::mutex> hold(rootLock);
  stopped = true;
  if (root) InternetCloseHandle(root);
  root = nullptr;
}

std::string TextForEdit(const unsigned char* bytes, size_t count) {
  std::string text;
  text.reserve(count + count / 16);
  for (size_t i = 0; i < count && bytes[i] != 0; ++i) {
    if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) text += '\r';
    text += static_cast<char>(bytes[i]);
  }
  return text;
}

size_t ShownLength(const unsigned char* bytes, size_t count) {
  if (count <= kMostShownBytes) return count;
  // Cut after a line end, so no double-byte character is split.
  for (size_t i = kMostShownBytes; i > 0; --i)
    if (bytes[i - 1] == '\n') return i;
  return kMostShownBytes;
}

int TextViewerFontHeight(int level) { return kFontHeights[ClampZoom(level)]; }

TextViewerEngine::~TextViewerEngine() {
  events_ = nullptr;
  if (load_) load_->Stop();
  // On Windows a stopped fetch returns at once, and the short wait lets the
  // worker close its handles before the program goes on to end. Wine does not
  // break off a read blocked on a silent server; the worker then runs on, on
  // its own, until the server gives up or the process ends.
  if (loadThread_.get()) WaitForSingleObject(loadThread_.get(), kStopWaitMs);
  if (window_) DestroyWindow(window_);
}

HWND TextViewerEngine::Create(HWND parent, const RECT& place, BrowserEvents* events) {
  if (window_ || !RegisterViewerClass(WindowProc)) return nullptr;
  HINSTANCE instance = GetModuleHandleA(nullptr);
  int width = place.right - place.left, height = place.bottom - place.top;
  CreateWindowExA(0, kClassName, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, place.left, place.top, width,
                  height, parent, nullptr, instance, this);
  if (!window_) return nullptr;
  edit_ = CreateWindowExA(0, "EDIT", "",
                          WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                              ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                          0, 0, width, height, window_, nullptr, instance, nullptr);
  if (!edit_) {
    DestroyWindow(window_);
    return nullptr;
  }
  // The list is longer than the 32K an EDIT takes by default.
  SendMessageA(edit_, EM_SETLIMITTEXT, 0, 0);
  ApplyFont();
  events_ = events;
  return window_;
}

HRESULT TextViewerEngine::PutOffline(bool offline) {
  offline_ = offline;
  return S_OK;
}

// The viewer never shows a dialog of its own, so silent and not silent look alike.
HRESULT TextViewerEngine::PutSilent(bool) { return S_OK; }

HRESULT TextViewerEngine::SetZoom(int level) {
  zoom_ = ClampZoom(level);
  ApplyFont();
  return S_OK;
}

HRESULT TextViewerEngine::Navigate(const std::string& url) {
  if (!window_) return E_UNEXPECTED;
  bool cancel = false;
  if (events_) events_->OnBeforeNavigate(url, &cancel);
  if (cancel) return S_OK;
  StopLoad();

  auto load = std::make_shared<Load>();
  load->id = ++lastLoadId_;
  load->url = url;
  load->reportTo = window_;
  load->offline = offline_;
  load_ = load;
  if (events_) events_->OnDownloadBegin();
  if (offline_) {
    load->Report();
    return S_OK;
  }
  auto* workerShare = new std::shared_ptr<Load>(load);
  HANDLE thread = CreateThread(nullptr, 0, LoadWorker, workerShare, 0, nullptr);
  if (!thread) {
    delete workerShare;
    load->outcome.kind = DownloadOutcome::kNetwork;
    load->outcome.error = GetLastError();
    load->outcome.failedCall = "CreateThread";
    load->Report();
    return S_OK;
  }
  loadThread_.reset(thread);
  return S_OK;
}

bool TextViewerEngine::TranslateAccelerator(MSG* msg) {
  // Ctrl+A selects the whole page, as in a browser.
  bool selectAll = msg->message == WM_KEYDOWN && msg->hwnd == edit_ && msg->wParam == 'A' &&
                   GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_SHIFT) >= 0 && GetKeyState(VK_MENU) >= 0;
  if (!selectAll) return false;
  SendMessageA(edit_, EM_SETSEL, 0, -1);
  return true;
}

DWORD WINAPI TextViewerEngine::LoadWorker(void* param) {
  auto* share = static_cast<std::shared_ptr<Load>*>(param);
  std::shared_ptr<Load> load = std::move(*share);
  delete share;
  load->Fetch();
  return 0;
}

void TextViewerEngine::StopLoad() {
  if (load_) load_->Stop();
  // The stopped worker ends by itself; its report no longer matches load_.
  loadThread_.reset();
}

void TextViewerEngine::ApplyFont() {
  if (!edit_) return;
  LOGFONTA font{};
  if (!GetObjectA(GetStockObject(SYSTEM_FIXED_FONT), sizeof font, &font)) return;
  font.lfHeight = -TextViewerFontHeight(zoom_);
  font.lfWidth = 0;
  HFONT made = CreateFontIndirectA(&font);
  if (!made) return;
  SendMessageA(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(made), TRUE);
  font_.reset(made);
}

void TextViewerEngine::OnSize(int width, int height) {
  if (edit_) MoveWindow(edit_, 0, 0, width, height, TRUE);
}

void TextViewerEngine::OnLoadDone(WPARAM loadId) {
  if (!load_ || load_->id != loadId || !load_->done.load(std::memory_order_acquire)) return;
  std::shared_ptr<Load> load = load_;
  loadThread_.reset();

  const DownloadOutcome& outcome = load->outcome;
  std::string page, title;
  long bytes = 0;
  if (load->offline) {
    page = std::string(kOfflineNotice) + "\r\n\r\n" + load->url;
    title = kOfflineNotice;
  } else if (outcome.kind == DownloadOutcome::kOk || outcome.kind == DownloadOutcome::kEmpty) {
    // An empty document is a page like any other.
    bytes = ByteCount(load->body.get());
    const unsigned char* data = ByteData(load->body.get());
    size_t shown = ShownLength(data, static_cast<size_t>(bytes));
    page = TextForEdit(data, shown);
    if (shown < static_cast<size_t>(bytes)) page += std::string("\r\n") + kCutNotice;
    title = load->url;
  } else {
    page = std::string(kCannotShow) + "\r\n\r\n" + DescribeDownloadFailure(outcome) + "\r\n\r\n" + load->url;
    title = kCannotShow;
  }
  load->body.reset();

  if (events_) {
    events_->OnProgressChange(bytes, bytes);
    events_->OnDownloadComplete();
  }
  SetWindowTextA(edit_, page.c_str());
  if (events_) {
    events_->OnNavigateComplete(load->url);
    events_->OnDocumentComplete(load->url);
    events_->OnStatusTextChange(kDoneStatus);
    events_->OnTitleChange(title);
  }
}

LRESULT CALLBACK TextViewerEngine::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* engine = static_cast<TextViewerEngine*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
    engine->window_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(engine));
  }
  auto* engine = reinterpret_cast<TextViewerEngine*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!engine) return DefWindowProcA(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_SIZE:
      engine->OnSize(LOWORD(lp), HIWORD(lp));
      return 0;
    case WM_SETFOCUS:
      if (engine->edit_) SetFocus(engine->edit_);
      return 0;
    case WM_CTLCOLORSTATIC:  // a read-only EDIT asks for this; pages are black on white
      SetTextColor(reinterpret_cast<HDC>(wp), RGB(0, 0, 0));
      SetBkColor(reinterpret_cast<HDC>(wp), RGB(255, 255, 255));
      return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:  // the page's text, not our empty title
      if (engine->edit_) return SendMessageA(engine->edit_, msg, wp, lp);
      break;
    case kLoadDone:
      engine->OnLoadDone(wp);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      engine->window_ = nullptr;
      engine->edit_ = nullptr;
      break;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}
