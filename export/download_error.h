// Turning a failed download into a short Chinese sentence for the user.
#pragma once

#include <string>

#include "export/download.h"

// The system's text for a WinINet or system error code (GBK), trimmed of its
// line end; a fallback naming the code when the system has none.
std::string ErrorText(DWORD error);
// "what failed and why" for the user, in GBK.
std::string DescribeDownloadFailure(const DownloadOutcome& outcome);
