#include "export/file_write.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

WriteFileFunction writeFileCall = ::WriteFile;

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() { Close(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }
  bool Close() {
    if (!IsOpen()) return true;
    HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return CloseHandle(handle) != FALSE;
  }

 private:
  HANDLE handle_;
};

// The reason a call gave, never "success" for a call that failed.
DWORD LastErrorOr(DWORD fallback) {
  DWORD code = GetLastError();
  return code != ERROR_SUCCESS ? code : fallback;
}

bool Fail(DWORD code, DWORD* error) {
  if (error) *error = code;
  SetLastError(code);
  return false;
}

HANDLE OpenForWriting(const char* name, DWORD disposition) {
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  return CreateFileA(name, GENERIC_WRITE, 0, &inheritable, disposition, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

// Fails where truncating the target in place would have failed: held open by
// another program, read-only, a folder, no rights; and, as CREATE_ALWAYS
// does, a hidden or system file. The target is opened without changing it.
// The attributes are checked as well, since a replace by rename would not
// stop at a read-only target on every file system.
DWORD CheckTargetWritable(const char* target) {
  FileHandle probe(OpenForWriting(target, OPEN_EXISTING));
  if (!probe.IsOpen()) {
    DWORD code = LastErrorOr(ERROR_ACCESS_DENIED);
    return code == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : code;
  }
  probe.Close();
  DWORD attributes = GetFileAttributesA(target);
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)))
    return ERROR_ACCESS_DENIED;
  return ERROR_SUCCESS;
}

// The wide, extended-length form of a full path. A target of up to MAX_PATH
// is fine for the ANSI calls, but the temporary name beside it may be longer.
std::wstring ExtendedPath(const std::string& full) {
  int count = MultiByteToWideChar(CP_ACP, 0, full.c_str(), -1, nullptr, 0);
  if (count <= 1) return std::wstring();
  std::wstring wide(static_cast<size_t>(count), L'\0');
  MultiByteToWideChar(CP_ACP, 0, full.c_str(), -1, &wide[0], count);
  wide.resize(static_cast<size_t>(count) - 1);
  if (wide.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + wide.substr(2);
  return L"\\\\?\\" + wide;
}

// The target's full path, split where its file name starts. The system
// splits it, which keeps a double-byte character whose second byte is '\' in
// one piece. Device names (CON, NUL, COM1, ...) are no files: they are refused
// before anything opens them.
struct TargetPath {
  std::string full;
  size_t folderLength = 0;
};

DWORD ResolveTarget(const char* target, TargetPath* path) {
  char full[MAX_PATH];
  char* filePart = nullptr;
  DWORD length = GetFullPathNameA(target, MAX_PATH, full, &filePart);
  if (length == 0) return LastErrorOr(ERROR_INVALID_NAME);
  if (length >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
  if (!filePart || strncmp(full, "\\\\.\\", 4) == 0 || strncmp(full, "\\\\?\\", 4) == 0)
    return ERROR_INVALID_NAME;
  path->full = full;
  path->folderLength = static_cast<size_t>(filePart - full);
  return ERROR_SUCCESS;
}

// The temporary file goes into the target's own folder, so that putting it in
// place is a rename within one volume.
DWORD CreateFileBeside(const TargetPath& target, std::wstring* tempName, HANDLE* file) {
  std::wstring folder = ExtendedPath(target.full.substr(0, target.folderLength));
  if (folder.empty()) return ERROR_INVALID_NAME;
  static LONG counter = 0;
  for (int attempt = 0; attempt < 16; ++attempt) {
    char name[32];
    snprintf(name, sizeof name, "~vnk%lx%lx.tmp", GetCurrentProcessId(),
             static_cast<unsigned long>(InterlockedIncrement(&counter)));
    *tempName = folder + std::wstring(name, name + strlen(name));
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    *file = CreateFileW(tempName->c_str(), GENERIC_WRITE, 0, &inheritable, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                        nullptr);
    if (*file != INVALID_HANDLE_VALUE) return ERROR_SUCCESS;
    DWORD code = LastErrorOr(ERROR_ACCESS_DENIED);
    if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) return code;
  }
  return ERROR_FILE_EXISTS;
}

DWORD WriteAll(HANDLE file, std::initializer_list<const ByteSetData*> sets) {
  for (const ByteSetData* set : sets) {
    DWORD count = static_cast<DWORD>(ByteCount(set));
    if (count == 0) continue;
    DWORD written = 0;
    if (!writeFileCall(file, ByteData(set), count, &written, nullptr))
      return LastErrorOr(ERROR_WRITE_FAULT);
    if (written != count) return ERROR_WRITE_FAULT;
  }
  return ERROR_SUCCESS;
}

}  // namespace

void SetWriteFileForTesting(WriteFileFunction writeFile) {
  writeFileCall = writeFile ? writeFile : ::WriteFile;
}

bool WriteBytesToFile(const char* fileName, std::initializer_list<const ByteSetData*> sets,
                      DWORD* error) {
  if (TextLength(fileName) == 0) return Fail(ERROR_INVALID_NAME, error);
  TargetPath target;
  DWORD code = ResolveTarget(fileName, &target);
  if (code == ERROR_SUCCESS) code = CheckTargetWritable(target.full.c_str());
  if (code != ERROR_SUCCESS) return Fail(code, error);

  std::wstring tempName;
  HANDLE handle = INVALID_HANDLE_VALUE;
  code = CreateFileBeside(target, &tempName, &handle);
  if (code != ERROR_SUCCESS) return Fail(code, error);
  FileHandle temp(handle);

  code = WriteAll(temp.Get(), sets);
  if (code == ERROR_SUCCESS && !temp.Close()) code = LastErrorOr(ERROR_WRITE_FAULT);
  if (code == ERROR_SUCCESS &&
      !MoveFileExW(tempName.c_str(), ExtendedPath(target.full).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    code = LastErrorOr(ERROR_ACCESS_DENIED);
  if (code != ERROR_SUCCESS) {
    temp.Close();
    DeleteFileW(tempName.c_str());
    return Fail(code, error);
  }
  if (error) *error = ERROR_SUCCESS;
  return true;
}
