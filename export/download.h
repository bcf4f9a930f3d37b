// The list download: one HTTP(S) GET through WinINet, the body as a ByteSet.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "export/values.h"

// The list's address on the code-hosting service's raw-content host.
extern const char kListUrl[];

// Why a download failed, for the caller to tell the user; the download itself
// shows nothing.
struct DownloadOutcome {
  enum Kind {
    kOk,
    kBadUrl,       // empty, not canonical, not crackable, or not http/https
    kNetwork,      // a WinINet call failed; `error` holds its code
    kHttpStatus,   // the server answered outside 200..299; `status` holds it
    kBrokenOff,    // reading failed after part of the body; `error` holds the code
    kTruncated,    // the body ended before the announced length
    kTooLarge,     // more than a ByteSet can hold, or than memory allows
    kEmpty,        // the server sent no body
  };
  Kind kind = kOk;
  DWORD error = 0;         // WinINet or system error code
  DWORD status = 0;        // HTTP status, when one arrived
  long long announced = -1;  // announced length, -1 when none
  long long received = 0;    // body bytes received
  size_t chunk = 0;          // the read size chosen
  const char* failedCall = "";  // the platform call that failed, for diagnostics
};

// Fetches `url` with the program's request rules on the program's one root
// handle (opened on first use, kept until CloseDownloads). Returns the body,
// or missing on any failure; the caller owns the result. Up to 10 redirects
// are followed (never from https to http), and a server that sends nothing
// for 30 s ends the fetch.
ByteSet HttpReadFile(const char* url, DownloadOutcome* outcome = nullptr);

// The same fetch on a root handle of the caller's own (the panel's loader uses
// one on its worker thread). `root` must come from OpenInternetRoot.
ByteSet FetchUrl(HINTERNET root, const char* url, DownloadOutcome* outcome);
HINTERNET OpenInternetRoot();

// Closes the root handle at the program's normal end.
void CloseDownloads();

// Tests make opening the root handle fail (or count the opens) through this;
// nullptr restores InternetOpenA.
using InternetOpenFunction = HINTERNET(WINAPI*)(LPCSTR agent, DWORD accessType, LPCSTR proxy,
                                                LPCSTR proxyBypass, DWORD flags);
void SetInternetOpenForTesting(InternetOpenFunction internetOpen);
