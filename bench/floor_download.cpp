#include "bench/floor_download.h"

#include <cstdlib>
#include <cstring>

#include "bench/measure.h"

namespace {

// The program's request, word for word: agent, verb, version, accept list,
// extra headers and flags.
constexpr char kAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr char kAcceptEntry[] = "Accept: */* \r\n";
constexpr char kExtraHeaders[] = "Accept: */*\r\n\r\n";
// The read sizes follow the same rule as the program's, since they are part
// of how the request is read, not of what the program adds to it.
constexpr DWORD kChunkWithoutLength = 10240;
constexpr DWORD kLargestChunk = 102400;

class Handle {
 public:
  explicit Handle(HINTERNET handle) : handle_(handle) {}
  ~Handle() {
    if (handle_) InternetCloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HINTERNET Get() const { return handle_; }

 private:
  HINTERNET handle_;
};

// The announced length, or -1.
long long AnnouncedLength(HINTERNET request) {
  char text[32] = "";
  DWORD size = sizeof text;
  if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return -1;
  long long length = atoll(text);
  return length > 0 ? length : -1;
}

}  // namespace

bool FloorBody::Allocate(size_t room) {
  Release();
  bytes_ = static_cast<unsigned char*>(HeapAlloc(GetProcessHeap(), 0, room));
  return bytes_ != nullptr;
}

void FloorBody::Release() {
  if (bytes_) HeapFree(GetProcessHeap(), 0, bytes_);
  bytes_ = nullptr;
}

FloorDownloader::FloorDownloader(size_t room)
    : root_(InternetOpenA(kAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0)), room_(room) {}

FloorDownloader::~FloorDownloader() {
  if (root_) InternetCloseHandle(root_);
}

long long FloorDownloader::Fetch(const char* url, FloorBody* body) {
  char host[INTERNET_MAX_HOST_NAME_LENGTH + 1], path[INTERNET_MAX_PATH_LENGTH + 1];
  URL_COMPONENTSA parts = {};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = sizeof host;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = sizeof path;
  if (!InternetCrackUrlA(url, 0, 0, &parts)) return -1;
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT;
  if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;

  Handle connection(
      InternetConnectA(root_, host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection.Get()) return -1;
  const char* accept[] = {kAcceptEntry, nullptr};
  Handle request(HttpOpenRequestA(connection.Get(), "GET", path, "HTTP/1.0", nullptr, accept, flags, 0));
  if (!request.Get()) return -1;
  if (!HttpSendRequestA(request.Get(), kExtraHeaders, sizeof kExtraHeaders - 1, nullptr, 0)) return -1;
  long long announced = AnnouncedLength(request.Get());
  DWORD chunk = announced < 0                   ? kChunkWithoutLength
                : announced + 1 < kLargestChunk ? static_cast<DWORD>(announced + 1)
                                                : kLargestChunk;
  // One byte more than the body, for the read that finds its end.
  size_t room = (announced < 0 ? room_ : static_cast<size_t>(announced)) + 1;
  if (!body->Allocate(room)) return -1;
  size_t received = 0;
  for (;;) {
    DWORD wanted = static_cast<DWORD>(room - received < chunk ? room - received : chunk);
    DWORD got = 0;
    if (wanted == 0 || !InternetReadFile(request.Get(), body->Bytes() + received, wanted, &got)) return -1;
    if (got == 0) break;
    received += got;
  }
  return static_cast<long long>(received);
}

PathSteps FloorDataPath(FloorDownloader& downloader, const char* url, const std::string& path) {
  PathSteps steps, failed;
  FloorBody firstBody, secondBody;
  Stopwatch clock;
  long long first = downloader.Fetch(url, &firstBody);
  if (first <= 0) return failed;
  steps.downloads = clock.Ms();

  double start = clock.Ms();
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return failed;
  DWORD written = 0;
  BOOL wrote = WriteFile(file, firstBody.Bytes(), static_cast<DWORD>(first), &written, nullptr);
  CloseHandle(file);
  if (!wrote || written != first) return failed;
  steps.file = clock.Ms() - start;
  firstBody.Release();

  start = clock.Ms();
  long long second = downloader.Fetch(url, &secondBody);
  if (second <= 0) return failed;
  steps.downloads += clock.Ms() - start;

  start = clock.Ms();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(second) + 1);
  if (!block) return failed;
  char* text = static_cast<char*>(GlobalLock(block));
  memcpy(text, secondBody.Bytes(), static_cast<size_t>(second));
  text[second] = '\0';
  GlobalUnlock(block);
  secondBody.Release();
  if (!OpenClipboard(nullptr)) {
    GlobalFree(block);
    return failed;
  }
  EmptyClipboard();
  bool placed = SetClipboardData(CF_TEXT, block) != nullptr;
  CloseClipboard();
  if (!placed) {
    GlobalFree(block);
    return failed;
  }
  steps.clipboard = clock.Ms() - start;
  steps.total = clock.Ms();
  return steps;
}
