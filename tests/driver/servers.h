// The local list servers that tests/sandbox.sh starts (tests/servers/listserver.py):
// HTTP on 127.0.0.1:8080, HTTPS with the trusted test certificate on 443
// (also reached as raw.githubusercontent.com), and HTTPS with an expired, a
// wrong-host and a self-signed certificate on 8443, 8444 and 8445.
#pragma once

#include <string>
#include <utility>
#include <vector>

// The list's path on its host, which the servers answer per list.json.
constexpr char kListPath[] = "/quorrel/varnook/master/trackers_all.txt";

constexpr int kHttpPort = 8080;
constexpr int kHttpsPort = 443;
constexpr int kExpiredPort = 8443;
constexpr int kWrongHostPort = 8444;
constexpr int kSelfSignedPort = 8445;

struct LoggedRequest {
  int port = 0;
  bool tls = false;
  std::string method, target, version, requestLine;
  std::vector<std::pair<std::string, std::string>> headers;
  // The value of the first header with this name (any case), or "" when absent.
  std::string Header(const std::string& name) const;
  bool HasHeader(const std::string& name) const;
};

// The servers' state folder (VARNOOK_STATE_DIR), as a Windows path.
std::string StateDir();
std::string StatePath(const std::string& name);

// Every request the servers have logged since the last ClearRequests.
std::vector<LoggedRequest> ReadRequests();
// Requests for one path only.
std::vector<LoggedRequest> RequestsFor(const std::string& target);
void ClearRequests();

// What the list path serves next (list.json); "" restores the sample list.
void SetListBehaviour(const std::string& json);
// The bytes of the built-in sample list the servers serve by default.
std::string SampleList();

// The bytes the servers send for /len, /nolen, /big and the other pattern
// routes: 'a' to 'z' over and over, with a line end every 64 bytes.
std::string PatternBytes(size_t n);

std::string ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::string& bytes);

// "http://127.0.0.1:8080" + path, and so on.
std::string HttpUrl(const std::string& path);
std::string HttpsUrl(const std::string& path, int port = kHttpsPort);
