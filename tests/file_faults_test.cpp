// Targets the list cannot be written to, and the two lengths around MAX_PATH:
// the write fails with the system's reason and leaves the old file and the
// folder exactly as they were, and the command names the path in its one box
// and still fills the clipboard.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "driver/servers.h"
#include "export/download.h"
#include "export/file_write.h"
#include "real_export_services.h"

namespace {

const std::string kOld = "old list\r\n";

// The folder of the 64 KB volume the sandbox mounts (VARNOOK_FULL_DIR).
std::string FullVolume() {
  const char* dir = getenv("VARNOOK_FULL_DIR");
  return dir ? dir : "";
}

// Fills what is left of the volume with one file; true once it is full.
bool FillUp(const std::string& filler) {
  HANDLE file = CreateFileA(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char block[4096] = {};
  DWORD written = 0;
  while (WriteFile(file, block, sizeof block, &written, nullptr) && written == sizeof block) {
  }
  DWORD error = GetLastError();
  CloseHandle(file);
  return error == ERROR_DISK_FULL;
}

// A path of exactly `length` bytes ending in "\a.txt", in a folder made for it.
std::string PathOfLength(size_t length) {
  std::string base = MakeTempFolder("len");
  std::string folder = base + "\\" + std::string(length - base.size() - 7, 'd');
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder + "\\a.txt";
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.rfind('\\')); }

struct FaultCase {
  const char* what;
  std::function<std::string()> prepare;  // makes the situation, gives the target
  DWORD error;                           // ERROR_SUCCESS: the write must succeed
  std::function<void()> undo;
};

class FileFaults : public testing::Test {
 protected:
  void SetUp() override {
    ByteSet body = HttpReadFile(kListUrl);
    ASSERT_NE(body, nullptr);
    list_.reset(body);
  }
  void TearDown() override { CloseDownloads(); }

  ByteSetValue list_;
};

TEST_F(FileFaults, TargetAndFolderStayAsTheyWereAndThePathIsTold) {
  HANDLE holder = INVALID_HANDLE_VALUE;
  std::string fullTarget = FullVolume() + "\\list.txt";
  const FaultCase cases[] = {
      {"read-only",
       [] {
         std::string path = MakeTempFolder("readonly") + "\\list.txt";
         WriteWholeFile(path, kOld);
         SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
         return path;
       },
       ERROR_ACCESS_DENIED, [] {}},
      {"held open by another program",
       [&holder] {
         std::string path = MakeTempFolder("held") + "\\list.txt";
         WriteWholeFile(path, kOld);
         holder = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
         return path;
       },
       ERROR_SHARING_VIOLATION, [&holder] { CloseHandle(holder); }},
      {"missing folder", [] { return MakeTempFolder("missing") + "\\gone\\list.txt"; }, ERROR_PATH_NOT_FOUND,
       [] {}},
      {"full volume",
       [&fullTarget] {
         WriteWholeFile(fullTarget, kOld);
         return FillUp(FullVolume() + "\\filler") ? fullTarget : std::string("(volume not full)");
       },
       ERROR_DISK_FULL,
       [&fullTarget] {
         DeleteFileA((FullVolume() + "\\filler").c_str());
         DeleteFileA(fullTarget.c_str());
       }},
      {"device CON", [] { return MakeTempFolder("con") + "\\CON.txt"; }, ERROR_INVALID_NAME, [] {}},
      {"device NUL", [] { return MakeTempFolder("nul") + "\\nul.TXT"; }, ERROR_INVALID_NAME, [] {}},
      {"device NUL alone", [] { return std::string("NUL"); }, ERROR_INVALID_NAME, [] {}},
      {"259 bytes, the longest a path may be", [] { return PathOfLength(259); }, ERROR_SUCCESS, [] {}},
      {"260 bytes", [] { return PathOfLength(260); }, ERROR_FILENAME_EXCED_RANGE, [] {}},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.what);
    // The write on its own, then the whole command on the same target.
    for (bool command : {false, true}) {
      std::string path = c.prepare();
      ASSERT_NE(path, "(volume not full)");
      std::string folder = path.find('\\') == std::string::npos ? "." : FolderOf(path);
      std::string oldContent = FileNow(path);
      std::vector<std::string> before = FilesIn(folder);

      if (!command) {
        DWORD error = 12345;
        bool written = WriteBytesToFile(path.c_str(), {list_.get()}, &error);
        EXPECT_EQ(written, c.error == ERROR_SUCCESS);
        EXPECT_EQ(error, c.error);
      } else {
        ASSERT_TRUE(PutClipboardText("clipboard before"));
        RealExportServices services(kListUrl, path);
        RunSaveAndCopy(services);
        if (c.error == ERROR_SUCCESS) {
          EXPECT_TRUE(services.messages.empty());
        } else {
          ASSERT_EQ(services.messages.size(), 1u);
          EXPECT_NE(services.messages[0].find(path), std::string::npos) << services.messages[0];
        }
        EXPECT_EQ(ClipboardNow(), SampleList());
      }

      if (c.error == ERROR_SUCCESS) {
        EXPECT_EQ(FileNow(path), SampleList());
        EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"a.txt"});
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(FileNow(path), oldContent);
        EXPECT_EQ(FilesIn(folder), before);
      }
      c.undo();
    }
  }
}

}  // namespace
