// The parts of the file dialog's set-up that need no window: the file-type
// list, the selected entry, the flags and where the dialog goes on screen.
#pragma once

#include <windows.h>

#include <string>

#include "export/common_dialog.h"

// Texts of the component are GBK whatever the system's code page.
constexpr UINT kDialogCodePage = 936;

// The file-type list as OPENFILENAME's lpstrFilter wants it: (description,
// pattern) pairs, each a zero-terminated string, ended by an empty string.
// Built from `filter` by trimming trailing white space, adding "||" unless it
// already ends so, and turning every "|" that is a character of its own into
// a zero byte; a 0x7C trail byte of a double-byte character stays as it is.
// The result holds every byte the dialog reads, the final zero included;
// an empty result means no list (lpstrFilter NULL).
std::string BuildFilterList(const std::string& filter);

// nFilterIndex: 1-based; 0 when there is no list.
DWORD FilterIndex(bool hasList, int initialFilter);

// The OFN_ flags for these settings. A save dialog never gets
// OFN_FILEMUSTEXIST: it would refuse every new name.
DWORD DialogFlags(const CommonDialogSettings& settings);

// Top-left corner that centres a `width` x `height` window over `owner`,
// pulled back inside `workArea` as far as it fits there.
POINT CenterOver(const RECT& owner, int width, int height, const RECT& workArea);
