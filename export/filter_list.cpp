#include "export/filter_list.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// Offsets where the characters of `text` start, stepping over double-byte
// characters so that a trail byte is never looked at on its own. A lead byte
// with nothing behind it counts as a character of its own.
std::vector<size_t> CharacterStarts(const std::string& text) {
  std::vector<size_t> starts;
  for (size_t i = 0; i < text.size();) {
    starts.push_back(i);
    bool pair = IsDBCSLeadByteEx(kDialogCodePage, static_cast<BYTE>(text[i])) && i + 1 < text.size();
    i += pair ? 2 : 1;
  }
  return starts;
}

bool IsBar(const std::string& text, const std::vector<size_t>& starts, size_t index) {
  size_t at = starts[index];
  size_t end = index + 1 < starts.size() ? starts[index + 1] : text.size();
  return end - at == 1 && text[at] == '|';
}

}  // namespace

std::string BuildFilterList(const std::string& filter) {
  std::string list = filter;
  std::vector<size_t> starts = CharacterStarts(list);
  while (!starts.empty() && starts.back() + 1 == list.size() && IsBlank(list.back())) {
    list.pop_back();
    starts.pop_back();
  }
  if (list.empty()) return list;

  size_t count = starts.size();
  bool endsWithPair = count >= 2 && IsBar(list, starts, count - 2) && IsBar(list, starts, count - 1);
  if (!endsWithPair) {
    starts.push_back(list.size());
    starts.push_back(list.size() + 1);
    list += "||";
  }
  for (size_t i = 0; i < starts.size(); ++i) {
    if (IsBar(list, starts, i)) list[starts[i]] = '\0';
  }
  list.push_back('\0');
  return list;
}

DWORD FilterIndex(bool hasList, int initialFilter) {
  if (!hasList) return 0;
  return static_cast<DWORD>(std::max(initialFilter, 0)) + 1;
}

DWORD DialogFlags(const CommonDialogSettings& settings) {
  DWORD flags = OFN_HIDEREADONLY;
  if (settings.promptToCreate) flags |= OFN_CREATEPROMPT;
  if (settings.fileMustExist && settings.kind != kSaveFileDialog) flags |= OFN_FILEMUSTEXIST;
  if (settings.overwritePrompt) flags |= OFN_OVERWRITEPROMPT;
  if (settings.pathMustExist) flags |= OFN_PATHMUSTEXIST;
  if (settings.noChangeDirectory) flags |= OFN_NOCHANGEDIR;
  return flags | OFN_ENABLEHOOK | OFN_ENABLESIZING | OFN_EXPLORER;
}

POINT CenterOver(const RECT& owner, int width, int height, const RECT& workArea) {
  LONG left = owner.left + (owner.right - owner.left - width) / 2;
  LONG top = owner.top + (owner.bottom - owner.top - height) / 2;
  // Keep the caption reachable: a window that fits the work area stays in it,
  // one that does not at least starts at its top-left corner.
  left = std::max(std::min(left, workArea.right - width), workArea.left);
  top = std::max(std::min(top, workArea.bottom - height), workArea.top);
  return POINT{left, top};
}
