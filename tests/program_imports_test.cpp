// varnook.exe is one self-contained file: it may load only DLLs that every
// Windows has.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "driver/driver.h"
#include "driver/servers.h"

namespace {

// The names in the import directory of the PE image in `file`.
std::set<std::string> ImportedDlls(const std::string& file) {
  std::set<std::string> names;
  auto at = [&](size_t offset, size_t size) { return offset + size <= file.size() ? file.data() + offset : nullptr; };
  auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(at(0, sizeof(IMAGE_DOS_HEADER)));
  if (!dos) return names;
  auto nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(at(dos->e_lfanew, sizeof(IMAGE_NT_HEADERS64)));
  if (!nt || nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) return names;
  auto sections = reinterpret_cast<const IMAGE_SECTION_HEADER*>(
      at(dos->e_lfanew + offsetof(IMAGE_NT_HEADERS64, OptionalHeader) + nt->FileHeader.SizeOfOptionalHeader,
         nt->FileHeader.NumberOfSections * sizeof(IMAGE_SECTION_HEADER)));
  if (!sections) return names;
  auto fileOffset = [&](DWORD rva) -> size_t {
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
      const IMAGE_SECTION_HEADER& s = sections[i];
      if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData)
        return rva - s.VirtualAddress + s.PointerToRawData;
    }
    return file.size();
  };
  DWORD rva = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
  for (size_t offset = fileOffset(rva);; offset += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
    auto d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(at(offset, sizeof(IMAGE_IMPORT_DESCRIPTOR)));
    if (!d || d->Name == 0) break;
    const char* name = at(fileOffset(d->Name), 1);
    if (!name) break;
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    names.insert(lower);
  }
  return names;
}

TEST(ProgramImports, OnlyDllsThatEveryWindowsHas) {
  const std::set<std::string> system = {"kernel32.dll", "user32.dll", "gdi32.dll",   "comdlg32.dll",
                                        "ole32.dll",    "oleaut32.dll", "wininet.dll", "msvcrt.dll",
                                        "advapi32.dll", "shell32.dll",  "comctl32.dll"};
  std::set<std::string> imports = ImportedDlls(ReadWholeFile(ProgramPath()));
  ASSERT_TRUE(imports.count("kernel32.dll")) << "no import directory read";
  for (const auto& name : imports) EXPECT_TRUE(system.count(name)) << name << " is not part of Windows";
}

}  // namespace
