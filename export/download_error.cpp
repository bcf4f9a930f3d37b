#include "export/download_error.h"

#include <cstdio>

namespace {

// "下载列表失败："
constexpr char kDownloadFailed[] = "\xcf\xc2\xd4\xd8\xc1\xd0\xb1\xed\xca\xa7\xb0\xdc\xa3\xba";
// "服务器返回 HTTP %lu。"
constexpr char kStatusFormat[] = "\xb7\xfe\xce\xf1\xc6\xf7\xb7\xb5\xbb\xd8 HTTP %lu\xa1\xa3";
// "连接中断，列表不完整。"
constexpr char kBrokenOff[] =
    "\xc1\xac\xbd\xd3\xd6\xd0\xb6\xcf\xa3\xac\xc1\xd0\xb1\xed\xb2\xbb\xcd\xea\xd5\xfb\xa1\xa3";
// "列表过大。"
constexpr char kTooLarge[] = "\xc1\xd0\xb1\xed\xb9\xfd\xb4\xf3\xa1\xa3";
// "服务器没有返回内容。"
constexpr char kNoContent[] = "\xb7\xfe\xce\xf1\xc6\xf7\xc3\xbb\xd3\xd0\xb7\xb5\xbb\xd8\xc4\xda\xc8\xdd\xa1\xa3";
// "列表地址无效。"
constexpr char kBadAddress[] = "\xc1\xd0\xb1\xed\xb5\xd8\xd6\xb7\xce\xde\xd0\xa7\xa1\xa3";
// "错误代码 %lu"
constexpr char kCodeFormat[] = "\xb4\xed\xce\xf3\xb4\xfa\xc2\xeb %lu";
// "。"
constexpr char kFullStop[] = "\xa1\xa3";

// Drops a closing full stop, Chinese or Latin, so the sentence can end with ours.
// The text is walked character by character: a double-byte character's second
// byte must not be mistaken for a '.'.
std::string WithoutFullStop(const std::string& text) {
  size_t last = std::string::npos;
  for (size_t i = 0; i < text.size(); i += IsDBCSLeadByte(static_cast<BYTE>(text[i])) ? 2 : 1)
    last = i;
  if (last == std::string::npos) return text;
  if (text.compare(last, std::string::npos, ".") == 0 || text.compare(last, std::string::npos, kFullStop) == 0)
    return text.substr(0, last);
  return text;
}

}  // namespace

std::string ErrorText(DWORD error) {
  char text[512];
  DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  // WinINet's own codes (12000 and up) are in its message table only.
  HMODULE wininet = GetModuleHandleA("wininet.dll");
  if (wininet) flags |= FORMAT_MESSAGE_FROM_HMODULE;
  DWORD length = FormatMessageA(flags, wininet, error, 0, text, sizeof text, nullptr);
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' '))
    --length;
  if (length == 0) {
    snprintf(text, sizeof text, kCodeFormat, static_cast<unsigned long>(error));
    return text;
  }
  return std::string(text, length);
}

std::string DescribeDownloadFailure(const DownloadOutcome& outcome) {
  std::string sentence = kDownloadFailed;
  switch (outcome.kind) {
    case DownloadOutcome::kOk:
      return std::string();
    case DownloadOutcome::kBadUrl:
      return sentence + kBadAddress;
    case DownloadOutcome::kNetwork:
      return sentence + WithoutFullStop(ErrorText(outcome.error)) + kFullStop;
    case DownloadOutcome::kHttpStatus: {
      char status[64];
      snprintf(status, sizeof status, kStatusFormat, static_cast<unsigned long>(outcome.status));
      return sentence + status;
    }
    case DownloadOutcome::kBrokenOff:
    case DownloadOutcome::kTruncated:
      return sentence + kBrokenOff;
    case DownloadOutcome::kTooLarge:
      return sentence + kTooLarge;
    case DownloadOutcome::kEmpty:
      return sentence + kNoContent;
  }
  return sentence + WithoutFullStop(ErrorText(outcome.error)) + kFullStop;
}
