#include "export/file_write.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "driver/driver.h"
#include "driver/servers.h"

namespace {

// "列表" and "癨": the second character's GBK bytes end in '\' (0xb0 0x5c).
constexpr char kGbkName[] = "\xc1\xd0\xb1\xed\xb0\\.txt";

ByteSetValue MakeSet(const std::string& bytes) {
  if (bytes.empty()) return ByteSetValue();
  ByteSetValue set(NewByteSet(static_cast<int32_t>(bytes.size())));
  memcpy(set.get()->bytes, bytes.data(), bytes.size());
  return set;
}

std::set<std::string> FilesIn(const std::string& folder) {
  std::set<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    std::string name = found.cFileName;
    if (name != "." && name != "..") names.insert(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class FileWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = MakeTempFolder("write");
    ASSERT_TRUE(Exists(folder_));
  }
  void TearDown() override { SetWriteFileForTesting(nullptr); }
  std::string Path(const std::string& name) const { return folder_ + "\\" + name; }

  std::string folder_;
};

TEST_F(FileWriteTest, WritesExactlyTheNewBytes) {
  ByteSetValue first = MakeSet(std::string("ab\0c", 4));
  ByteSetValue second = MakeSet("defg");
  struct Case {
    const char* what;
    std::string oldContent;  // "" with oldExists false: no file before
    bool oldExists;
    std::initializer_list<const ByteSetData*> sets;
    std::string expected;
  } cases[] = {
      {"new file", "", false, {first.get()}, std::string("ab\0c", 4)},
      {"sets in order, empty ones skipped", "", false,
       {first.get(), nullptr, &EmptyByteSet, second.get()}, std::string("ab\0cdefg", 8)},
      {"longer old file loses its tail", std::string(1000, 'x'), true, {second.get()}, "defg"},
      {"empty set leaves an empty file", "old content", true, {&EmptyByteSet}, ""},
      {"missing set on a new file", "", false, {nullptr}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string path = Path("out.txt");
    DeleteFileA(path.c_str());
    if (c.oldExists) {
      ASSERT_TRUE(WriteWholeFile(path, c.oldContent));
    }
    DWORD error = 12345;
    EXPECT_TRUE(WriteBytesToFile(path.c_str(), c.sets, &error));
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(ReadWholeFile(path), c.expected);
    EXPECT_EQ(FilesIn(folder_), std::set<std::string>{"out.txt"});
  }
}

TEST_F(FileWriteTest, DoubleByteNameWithBackslashByte) {
  ByteSetValue bytes = MakeSet("list");
  ASSERT_TRUE(WriteBytesToFile(Path(kGbkName).c_str(), {bytes.get()}));
  EXPECT_EQ(ReadWholeFile(Path(kGbkName)), "list");
  EXPECT_EQ(FilesIn(folder_), std::set<std::string>{kGbkName});
}

TEST_F(FileWriteTest, EmptyNameTouchesNothing) {
  ByteSetValue bytes = MakeSet("list");
  char cwd[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, cwd);
  ASSERT_TRUE(SetCurrentDirectoryA(folder_.c_str()));
  DWORD error = 0;
  EXPECT_FALSE(WriteBytesToFile(nullptr, {bytes.get()}, &error));
  EXPECT_NE(error, static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_FALSE(WriteBytesToFile(EmptyText, {bytes.get()}));
  EXPECT_TRUE(FilesIn(folder_).empty());

  // ".txt" is a name like any other: the file lands in the current folder.
  EXPECT_TRUE(WriteBytesToFile(".txt", {bytes.get()}));
  SetCurrentDirectoryA(cwd);
  EXPECT_EQ(FilesIn(folder_), std::set<std::string>{".txt"});
  EXPECT_EQ(ReadWholeFile(Path(".txt")), "list");
}

// Every way the write can fail leaves the target as it was and no stray file.
TEST_F(FileWriteTest, FailureLeavesTargetIntact) {
  ByteSetValue bytes = MakeSet(std::string(300000, 'n'));
  const std::string old = "old list\r\n";

  struct Case {
    const char* what;
    WriteFileFunction writeFile;
    bool holdOpen;
    bool readOnly;
    DWORD expectedError;
  } cases[] = {
      {"write fails part-way (disk full)",
       [](HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED) -> BOOL {
         // Half the bytes really reach the disk before the failure.
         WriteFile(file, data, size / 2, written, nullptr);
         SetLastError(ERROR_DISK_FULL);
         return FALSE;
       },
       false, false, ERROR_DISK_FULL},
      {"short write",
       [](HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED) -> BOOL {
         return WriteFile(file, data, size - 1, written, nullptr);
       },
       false, false, ERROR_WRITE_FAULT},
      {"held open by another program", nullptr, true, false, ERROR_SHARING_VIOLATION},
      {"read-only", nullptr, false, true, ERROR_ACCESS_DENIED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string path = Path("list.txt");
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
    ASSERT_TRUE(WriteWholeFile(path, old));
    if (c.readOnly) {
      ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    }
    HANDLE holder = INVALID_HANDLE_VALUE;
    if (c.holdOpen) {
      holder = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    }
    SetWriteFileForTesting(c.writeFile);

    DWORD error = 0;
    EXPECT_FALSE(WriteBytesToFile(path.c_str(), {bytes.get()}, &error));
    EXPECT_EQ(error, c.expectedError);
    SetWriteFileForTesting(nullptr);
    if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);

    EXPECT_TRUE(ReadWholeFile(path) == old);
    EXPECT_EQ(FilesIn(folder_), std::set<std::string>{"list.txt"});
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

TEST_F(FileWriteTest, MissingFolderFails) {
  ByteSetValue bytes = MakeSet("list");
  DWORD error = 0;
  EXPECT_FALSE(WriteBytesToFile(Path("no-such-folder\\list.txt").c_str(), {bytes.get()}, &error));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_TRUE(FilesIn(folder_).empty());
}

}  // namespace
