// The platform's floor for the program's download and its data path: the same
// request made with bare WinINet calls and read into one buffer, allocated
// once per fetch before the first read (of the announced length, or of the
// largest body when none is announced) and never grown. The bytes then go to
// the file and the clipboard with one call each.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <string>

#include "bench/measure.h"

// The body of one fetch, held until the caller has stopped the clock.
class FloorBody {
 public:
  FloorBody() = default;
  ~FloorBody() { Release(); }
  FloorBody(const FloorBody&) = delete;
  FloorBody& operator=(const FloorBody&) = delete;
  bool Allocate(size_t room);
  void Release();
  unsigned char* Bytes() const { return bytes_; }

 private:
  unsigned char* bytes_ = nullptr;
};

class FloorDownloader {
 public:
  // `room`: the largest body any fetch will bring.
  explicit FloorDownloader(size_t room);
  ~FloorDownloader();
  FloorDownloader(const FloorDownloader&) = delete;
  FloorDownloader& operator=(const FloorDownloader&) = delete;

  // The body's length, or -1 when the fetch failed.
  long long Fetch(const char* url, FloorBody* body);

 private:
  HINTERNET root_ = nullptr;
  size_t room_ = 0;
};

// Two bare downloads of `url`, one CreateFile + WriteFile of the first into
// `path`, one SetClipboardData of the second.
PathSteps FloorDataPath(FloorDownloader& downloader, const char* url, const std::string& path);
