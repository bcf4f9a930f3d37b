#include "export/download.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "export/content_length.h"

const char kListUrl[] = "https://raw.githubusercontent.com/quorrel/varnook/master/trackers_all.txt";

namespace {

constexpr char kAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr char kVerb[] = "GET";
constexpr char kHttpVersion[] = "HTTP/1.0";
constexpr char kAcceptEntry[] = "Accept: */* \r\n";
constexpr char kExtraHeaders[] = "Accept: */*\r\n\r\n";
constexpr DWORD kExtraHeadersLength = sizeof kExtraHeaders - 1;  // 15
constexpr DWORD kCanonicalRoom = 2084;
constexpr DWORD kLengthRoom = 32;
// Redirects are followed here rather than by WinINet, which under Wine
// follows a redirect loop for ever.
constexpr DWORD kRequestFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT;
// A longer chain of redirects ends the fetch with the last redirect's status.
constexpr int kMostRedirects = 10;
// WinINet under Wine sets no receive time-out and waits for a silent server
// without end; with this one a fetch ends once no byte has come for 30 s,
// whether the server is silent before its answer or in the middle of the body.
constexpr DWORD kReceiveTimeoutMs = 30000;
// Room a body of unknown length starts with; the sample list fits in it.
constexpr size_t kFirstRoom = 64 * 1024;
constexpr size_t kByteSetHeader = offsetof(ByteSetData, bytes);
// The largest announced length reserved in one piece before any byte arrives.
constexpr long long kMostTrusted = 256LL * 1024 * 1024;

InternetOpenFunction internetOpenCall = ::InternetOpenA;
// The program's root handle, used from the GUI thread only.
HINTERNET programRoot = nullptr;

class InternetHandle {
 public:
  explicit InternetHandle(HINTERNET handle) : handle_(handle) {}
  ~InternetHandle() {
    if (handle_) InternetCloseHandle(handle_);
  }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
  HINTERNET Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  HINTERNET handle_;
};

struct UrlParts {
  char host[INTERNET_MAX_HOST_NAME_LENGTH + 1];
  char user[INTERNET_MAX_USER_NAME_LENGTH + 1];
  char password[INTERNET_MAX_PASSWORD_LENGTH + 1];
  char path[INTERNET_MAX_PATH_LENGTH + 1];
  INTERNET_PORT port;
  DWORD flags;
};

ByteSet Fail(DownloadOutcome* outcome, DownloadOutcome::Kind kind, const char* call = "",
             DWORD error = 0) {
  outcome->kind = kind;
  outcome->failedCall = call;
  outcome->error = error;
  return nullptr;
}

ByteSet FailedCall(DownloadOutcome* outcome, const char* call) {
  return Fail(outcome, DownloadOutcome::kNetwork, call, GetLastError());
}

// Canonicalizes and cracks `url`; false (with the outcome filled) when it
// cannot be fetched.
bool CrackUrl(const char* url, UrlParts* parts, DownloadOutcome* outcome) {
  if (TextLength(url) == 0) {
    Fail(outcome, DownloadOutcome::kBadUrl, "", ERROR_INTERNET_INVALID_URL);
    return false;
  }
  char first[kCanonicalRoom];
  const char* canonical = first;
  std::unique_ptr<char[]> larger;
  DWORD length = kCanonicalRoom;
  if (!InternetCanonicalizeUrlA(url, first, &length, ICU_NO_ENCODE)) {
    DWORD error = GetLastError();
    if (error != ERROR_INSUFFICIENT_BUFFER) {
      Fail(outcome, DownloadOutcome::kBadUrl, "InternetCanonicalizeUrlA", error);
      return false;
    }
    DWORD needed = length + 1;
    larger.reset(new (std::nothrow) char[needed]);
    if (!larger) {
      Fail(outcome, DownloadOutcome::kNetwork, "InternetCanonicalizeUrlA", ERROR_NOT_ENOUGH_MEMORY);
      return false;
    }
    length = needed;
    if (!InternetCanonicalizeUrlA(url, larger.get(), &length, ICU_NO_ENCODE)) {
      Fail(outcome, DownloadOutcome::kBadUrl, "InternetCanonicalizeUrlA", GetLastError());
      return false;
    }
    canonical = larger.get();
  }

  URL_COMPONENTSA components = {};
  components.dwStructSize = sizeof components;
  components.lpszHostName = parts->host;
  components.dwHostNameLength = sizeof parts->host;
  components.lpszUserName = parts->user;
  components.dwUserNameLength = sizeof parts->user;
  components.lpszPassword = parts->password;
  components.dwPasswordLength = sizeof parts->password;
  components.lpszUrlPath = parts->path;
  components.dwUrlPathLength = sizeof parts->path;
  if (!InternetCrackUrlA(canonical, 0, 0, &components)) {
    Fail(outcome, DownloadOutcome::kBadUrl, "InternetCrackUrlA", GetLastError());
    return false;
  }
  if (components.nScheme == INTERNET_SCHEME_HTTP) {
    parts->flags = kRequestFlags;
    parts->port = components.nPort ? components.nPort : INTERNET_DEFAULT_HTTP_PORT;
  } else if (components.nScheme == INTERNET_SCHEME_HTTPS) {
    parts->flags = kRequestFlags | INTERNET_FLAG_SECURE;
    parts->port = components.nPort ? components.nPort : INTERNET_DEFAULT_HTTPS_PORT;
  } else {
    Fail(outcome, DownloadOutcome::kBadUrl, "InternetCrackUrlA", ERROR_INTERNET_UNRECOGNIZED_SCHEME);
    return false;
  }
  // The fragment is the browser's business, never the server's.
  if (char* fragment = strchr(parts->path, '#')) *fragment = '\0';
  return true;
}

// The body as it arrives: one block laid out as a ByteSet, so that the
// finished body becomes the result without another copy. It starts as a heap
// block (of the announced length when there is one). A body that outgrows it
// moves, once, into a region of address space reserved for the largest body,
// whose pages are committed as the bytes arrive: a long body of unknown
// length is then neither copied again nor written twice, where growing a heap
// block would move it to new memory at every step.
class Body {
 public:
  Body() = default;
  ~Body() { ReleaseValue(block_); }
  Body(const Body&) = delete;
  Body& operator=(const Body&) = delete;

  // One byte more than the largest body, for the read that finds the end.
  static constexpr size_t kMostRoom = static_cast<size_t>(kMaxByteSetCount) + 1;

  bool Reserve(size_t room) {
    void* block = block_ ? TryResizeValue(block_, kByteSetHeader + room)
                         : TryAllocateValue(kByteSetHeader + room);
    if (!block) return false;
    block_ = static_cast<ByteSetData*>(block);
    room_ = room;
    return true;
  }
  // Makes room for the next read, at least doubling it.
  bool Grow(size_t chunk) {
    if (room_ >= kMostRoom) return false;
    size_t doubled = room_ > kMostRoom / 2 ? kMostRoom : room_ * 2;
    size_t wanted = std::min(std::max(doubled, received_ + chunk), kMostRoom);
    if (inRegion_) return Commit(wanted) || Commit(std::min(received_ + chunk, kMostRoom));
    return MoveToRegion(wanted) || Reserve(wanted) || Reserve(std::min(received_ + chunk, kMostRoom));
  }
  size_t FreeRoom() const { return room_ - received_; }
  unsigned char* Tail() { return block_->bytes + received_; }
  void Add(size_t count) { received_ += count; }
  size_t Received() const { return received_; }

  ByteSet Finish() {
    if (received_ == 0) return nullptr;
    ByteSetData* set = block_;
    block_ = nullptr;
    set->count = static_cast<int32_t>(received_);
    if (inRegion_) {
      // The pages committed ahead and never written go back.
      size_t used = RoundToPage(kByteSetHeader + received_);
      if (used < kByteSetHeader + room_)
        VirtualFree(reinterpret_cast<char*>(set) + used, kByteSetHeader + room_ - used, MEM_DECOMMIT);
    } else if (void* shrunk = TryResizeValue(set, kByteSetHeader + received_)) {
      set = static_cast<ByteSetData*>(shrunk);
    }
    return set;
  }

 private:
  static size_t RoundToPage(size_t size) {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    size_t page = system.dwPageSize;
    return (size + page - 1) / page * page;
  }
  bool Commit(size_t room) {
    if (!VirtualAlloc(block_, kByteSetHeader + room, MEM_COMMIT, PAGE_READWRITE)) return false;
    room_ = room;
    return true;
  }
  // ReleaseValue knows such a region by the value standing at its very start.
  bool MoveToRegion(size_t room) {
    void* region = VirtualAlloc(nullptr, kByteSetHeader + kMostRoom, MEM_RESERVE, PAGE_NOACCESS);
    if (!region) return false;
    if (!VirtualAlloc(region, kByteSetHeader + room, MEM_COMMIT, PAGE_READWRITE)) {
      VirtualFree(region, 0, MEM_RELEASE);
      return false;
    }
    memcpy(region, block_, kByteSetHeader + received_);
    ReleaseValue(block_);
    block_ = static_cast<ByteSetData*>(region);
    room_ = room;
    inRegion_ = true;
    return true;
  }

  ByteSetData* block_ = nullptr;
  size_t room_ = 0;
  size_t received_ = 0;
  bool inRegion_ = false;
};

ByteSet ReadBody(HINTERNET request, long long announced, size_t chunk, DownloadOutcome* outcome) {
  Body body;
  // An announced length is taken at its word only up to kMostTrusted: a server
  // that lies about a huge body must not make us reserve it up front.
  size_t firstRoom = announced > 0 ? static_cast<size_t>(std::min<long long>(announced, kMostTrusted)) + 1
                                   : kFirstRoom;
  if (!body.Reserve(firstRoom)) return Fail(outcome, DownloadOutcome::kTooLarge, "HeapAlloc");
  for (;;) {
    if (body.FreeRoom() == 0 && !body.Grow(chunk)) {
      outcome->received = static_cast<long long>(body.Received());
      return Fail(outcome, DownloadOutcome::kTooLarge, "HeapReAlloc");
    }
    DWORD wanted = static_cast<DWORD>(std::min(chunk, body.FreeRoom()));
    DWORD got = 0;
    if (!InternetReadFile(request, body.Tail(), wanted, &got)) {
      DWORD error = GetLastError();
      outcome->received = static_cast<long long>(body.Received());
      return Fail(outcome, DownloadOutcome::kBrokenOff, "InternetReadFile", error);
    }
    if (got == 0) break;
    body.Add(got);
  }
  long long received = static_cast<long long>(body.Received());
  outcome->received = received;
  if (received > kMaxByteSetCount) return Fail(outcome, DownloadOutcome::kTooLarge);
  if (announced > 0 && received < announced) return Fail(outcome, DownloadOutcome::kTruncated);
  if (received == 0) return Fail(outcome, DownloadOutcome::kEmpty);
  outcome->kind = DownloadOutcome::kOk;
  return body.Finish();
}

bool IsRedirect(DWORD status) {
  return status == HTTP_STATUS_MOVED || status == HTTP_STATUS_REDIRECT ||
         status == HTTP_STATUS_REDIRECT_METHOD || status == HTTP_STATUS_REDIRECT_KEEP_VERB ||
         status == HTTP_STATUS_PERMANENT_REDIRECT;
}

// The Location header, or false when there is none.
bool QueryLocation(HINTERNET request, std::string* location) {
  DWORD size = 0;
  HttpQueryInfoA(request, HTTP_QUERY_LOCATION, nullptr, &size, nullptr);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return false;
  std::string text(size, '\0');
  if (!HttpQueryInfoA(request, HTTP_QUERY_LOCATION, &text[0], &size, nullptr)) return false;
  text.resize(size);
  *location = text;
  return !text.empty();
}

// The address a redirect's Location names, relative ones taken against `base`.
bool CombineUrl(const std::string& base, const std::string& location, std::string* target) {
  std::string combined(kCanonicalRoom, '\0');
  DWORD length = kCanonicalRoom;
  if (!InternetCombineUrlA(base.c_str(), location.c_str(), &combined[0], &length, ICU_NO_ENCODE)) {
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
    combined.assign(length + 1, '\0');
    length = static_cast<DWORD>(combined.size());
    if (!InternetCombineUrlA(base.c_str(), location.c_str(), &combined[0], &length, ICU_NO_ENCODE))
      return false;
  }
  combined.resize(length);
  *target = combined;
  return true;
}

// One request. A redirect the caller may still follow ends it with the
// target's Location in *redirect (nullptr: redirects are failures).
ByteSet FetchParts(HINTERNET root, UrlParts* parts, DownloadOutcome* outcome, std::string* redirect) {
  InternetHandle connection(InternetConnectA(root, parts->host, parts->port, parts->user,
                                             parts->password, INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return FailedCall(outcome, "InternetConnectA");

  // Whatever proxy the system is set up with, and no proxy credentials.
  INTERNET_PROXY_INFO proxy = {INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr};
  InternetSetOptionA(root, INTERNET_OPTION_PROXY, &proxy, sizeof proxy);
  char noCredential[] = "";
  InternetSetOptionA(connection.Get(), INTERNET_OPTION_PROXY_USERNAME, noCredential, 1);
  InternetSetOptionA(connection.Get(), INTERNET_OPTION_PROXY_PASSWORD, noCredential, 1);

  const char* acceptList[] = {kAcceptEntry, nullptr};
  InternetHandle request(HttpOpenRequestA(connection.Get(), kVerb, parts->path, kHttpVersion,
                                          nullptr, acceptList, parts->flags, 0));
  if (!request) return FailedCall(outcome, "HttpOpenRequestA");
  DWORD timeout = kReceiveTimeoutMs;
  InternetSetOptionA(request.Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
  if (!HttpSendRequestA(request.Get(), kExtraHeaders, kExtraHeadersLength, nullptr, 0))
    return FailedCall(outcome, "HttpSendRequestA");

  char lengthText[kLengthRoom] = "";
  DWORD lengthSize = kLengthRoom;
  bool hasLength =
      HttpQueryInfoA(request.Get(), HTTP_QUERY_CONTENT_LENGTH, lengthText, &lengthSize, nullptr) != FALSE;
  long long announced = -1;
  if (hasLength && ReadAnnouncedLength(lengthText, &announced) && announced < 0) announced = -1;
  outcome->announced = announced;
  outcome->chunk = ChooseChunk(hasLength ? lengthText : nullptr);

  DWORD status = 0;
  DWORD statusSize = sizeof status;
  if (!HttpQueryInfoA(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                      &statusSize, nullptr))
    return FailedCall(outcome, "HttpQueryInfoA");
  outcome->status = status;
  if (redirect && IsRedirect(status) && QueryLocation(request.Get(), redirect))
    return Fail(outcome, DownloadOutcome::kHttpStatus);
  if (status < 200 || status > 299) return Fail(outcome, DownloadOutcome::kHttpStatus);
  if (announced > kMaxByteSetCount) return Fail(outcome, DownloadOutcome::kTooLarge);

  return ReadBody(request.Get(), announced, outcome->chunk, outcome);
  // The request closes here, then the connection.
}

// Fetches the cracked `url`, following redirects to http and https addresses.
// A redirect from https to plain http is refused, as WinINet does by default
// on Windows: the list must not leave a secure connection.
ByteSet FetchFollowing(HINTERNET root, const char* url, UrlParts* parts, DownloadOutcome* outcome) {
  std::string current = url;
  for (int redirects = 0;; ++redirects) {
    std::string location;
    ByteSet body = FetchParts(root, parts, outcome, redirects < kMostRedirects ? &location : nullptr);
    if (location.empty()) return body;
    // Where the redirect cannot be followed, it stands as the server's answer.
    std::string target;
    if (!CombineUrl(current, location, &target)) return nullptr;
    bool wasSecure = (parts->flags & INTERNET_FLAG_SECURE) != 0;
    DownloadOutcome redirected;
    if (!CrackUrl(target.c_str(), parts, &redirected)) return nullptr;
    if (wasSecure && !(parts->flags & INTERNET_FLAG_SECURE))
      return Fail(outcome, DownloadOutcome::kNetwork, "HttpSendRequestA",
                  ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR);
    current = target;
    *outcome = DownloadOutcome();
  }
}

}  // namespace

void SetInternetOpenForTesting(InternetOpenFunction internetOpen) {
  internetOpenCall = internetOpen ? internetOpen : ::InternetOpenA;
}

HINTERNET OpenInternetRoot() {
  return internetOpenCall(kAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
}

ByteSet FetchUrl(HINTERNET root, const char* url, DownloadOutcome* outcome) {
  DownloadOutcome ignored;
  if (!outcome) outcome = &ignored;
  *outcome = DownloadOutcome();
  UrlParts parts;
  if (!CrackUrl(url, &parts, outcome)) return nullptr;
  if (!root) return Fail(outcome, DownloadOutcome::kNetwork, "InternetOpenA", ERROR_INVALID_HANDLE);
  return FetchFollowing(root, url, &parts, outcome);
}

ByteSet HttpReadFile(const char* url, DownloadOutcome* outcome) {
  DownloadOutcome ignored;
  if (!outcome) outcome = &ignored;
  *outcome = DownloadOutcome();
  UrlParts parts;
  if (!CrackUrl(url, &parts, outcome)) return nullptr;
  if (!programRoot) {
    programRoot = OpenInternetRoot();
    if (!programRoot) return FailedCall(outcome, "InternetOpenA");
  }
  return FetchFollowing(programRoot, url, &parts, outcome);
}

void CloseDownloads() {
  if (programRoot) {
    InternetCloseHandle(programRoot);
    programRoot = nullptr;
  }
}
