#include "driver/servers.h"

#include <windows.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

// A reader for the servers' log lines: JSON objects of strings, numbers,
// booleans and arrays of string pairs, as Python's json module writes them.
class JsonLine {
 public:
  explicit JsonLine(const std::string& text) : s_(text) {}

  bool Parse(LoggedRequest* r) {
    if (!Skip('{')) return false;
    while (!Peek('}')) {
      std::string key;
      if (!String(&key) || !Skip(':')) return false;
      if (key == "headers") {
        if (!Headers(&r->headers)) return false;
      } else if (Peek('"')) {
        std::string value;
        if (!String(&value)) return false;
        if (key == "method") r->method = value;
        else if (key == "target") r->target = value;
        else if (key == "version") r->version = value;
        else if (key == "request_line") r->requestLine = value;
      } else {
        std::string word = Word();
        if (key == "port") r->port = std::atoi(word.c_str());
        else if (key == "tls") r->tls = word == "true";
      }
      if (!Skip(',') && !Peek('}')) return false;
    }
    return true;
  }

 private:
  void Blank() {
    while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
  }
  bool Peek(char c) {
    Blank();
    return pos_ < s_.size() && s_[pos_] == c;
  }
  bool Skip(char c) {
    if (!Peek(c)) return false;
    ++pos_;
    return true;
  }
  std::string Word() {
    Blank();
    size_t start = pos_;
    while (pos_ < s_.size() && s_[pos_] != ',' && s_[pos_] != '}' && s_[pos_] != ']') ++pos_;
    return s_.substr(start, pos_ - start);
  }
  bool String(std::string* out) {
    if (!Skip('"')) return false;
    out->clear();
    while (pos_ < s_.size() && s_[pos_] != '"') {
      char c = s_[pos_++];
      if (c != '\\') {
        out->push_back(c);
        continue;
      }
      if (pos_ >= s_.size()) return false;
      char e = s_[pos_++];
      switch (e) {
        case 'n': out->push_back('\n'); break;
        case 'r': out->push_back('\r'); break;
        case 't': out->push_back('\t'); break;
        case 'b': out->push_back('\b'); break;
        case 'f': out->push_back('\f'); break;
        case 'u': {
          if (pos_ + 4 > s_.size()) return false;
          // The servers log heads as latin-1, so every code is one byte.
          out->push_back(static_cast<char>(std::strtol(s_.substr(pos_, 4).c_str(), nullptr, 16)));
          pos_ += 4;
          break;
        }
        default: out->push_back(e);
      }
    }
    return Skip('"');
  }
  bool Headers(std::vector<std::pair<std::string, std::string>>* out) {
    if (!Skip('[')) return false;
    while (!Peek(']')) {
      std::string name, value;
      if (!Skip('[') || !String(&name) || !Skip(',') || !String(&value) || !Skip(']')) return false;
      out->emplace_back(name, value);
      if (!Skip(',') && !Peek(']')) return false;
    }
    return Skip(']');
  }

  const std::string& s_;
  size_t pos_ = 0;
};

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && _stricmp(a.c_str(), b.c_str()) == 0;
}

}  // namespace

std::string LoggedRequest::Header(const std::string& name) const {
  for (const auto& h : headers)
    if (SameName(h.first, name)) return h.second;
  return {};
}

bool LoggedRequest::HasHeader(const std::string& name) const {
  for (const auto& h : headers)
    if (SameName(h.first, name)) return true;
  return false;
}

std::string StateDir() {
  const char* dir = std::getenv("VARNOOK_STATE_DIR");
  return dir ? dir : ".";
}

std::string StatePath(const std::string& name) { return StateDir() + "\\" + name; }

std::vector<LoggedRequest> ReadRequests() {
  std::vector<LoggedRequest> requests;
  std::istringstream lines(ReadWholeFile(StatePath("requests.log")));
  std::string line;
  while (std::getline(lines, line)) {
    LoggedRequest r;
    if (JsonLine(line).Parse(&r)) requests.push_back(std::move(r));
  }
  return requests;
}

std::vector<LoggedRequest> RequestsFor(const std::string& target) {
  std::vector<LoggedRequest> matching;
  for (auto& r : ReadRequests())
    if (r.target == target) matching.push_back(std::move(r));
  return matching;
}

void ClearRequests() { DeleteFileA(StatePath("requests.log").c_str()); }

void SetListBehaviour(const std::string& json) {
  // Written beside and renamed into place, so the server never reads half a file
  // and sees a new file each time (its request count starts over).
  std::string target = StatePath("list.json"), temp = StatePath("list.json.new");
  if (json.empty()) {
    DeleteFileA(target.c_str());
    return;
  }
  WriteWholeFile(temp, json);
  MoveFileExA(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
}

std::string SampleList() { return ReadWholeFile(StatePath("sample_list.txt")); }

std::string PatternBytes(size_t n) {
  std::string bytes(n, '\0');
  for (size_t i = 0; i < n; ++i) bytes[i] = i % 64 == 63 ? '\n' : static_cast<char>('a' + i % 26);
  return bytes;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string HttpUrl(const std::string& path) { return "http://127.0.0.1:" + std::to_string(kHttpPort) + path; }

std::string HttpsUrl(const std::string& path, int port) {
  // Wine checks the host against the certificate's DNS names only, so the
  // secure servers are reached by name.
  return "https://localhost" + (port == 443 ? std::string() : ":" + std::to_string(port)) + path;
}
