// Putting text on the clipboard as CF_TEXT.
#pragma once

// True when the text was handed to the clipboard. When another program holds
// the clipboard open the call fails at once and the clipboard keeps its contents.
bool SetClipboardText(const char* text);
