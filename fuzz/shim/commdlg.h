// The OFN_ flags of <commdlg.h> the file-type list builder's unit uses, with
// the system's values.
#pragma once

#define OFN_OVERWRITEPROMPT 0x00000002
#define OFN_HIDEREADONLY 0x00000004
#define OFN_NOCHANGEDIR 0x00000008
#define OFN_ENABLEHOOK 0x00000020
#define OFN_PATHMUSTEXIST 0x00000800
#define OFN_FILEMUSTEXIST 0x00001000
#define OFN_CREATEPROMPT 0x00002000
#define OFN_EXPLORER 0x00080000
#define OFN_ENABLESIZING 0x00800000
