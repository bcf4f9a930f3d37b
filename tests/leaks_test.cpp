// A hundred runs of the command's data path (two downloads, the file, the
// clipboard) leave the process's handles and private bytes where they were.
#include <windows.h>
// After <windows.h>, which they build on.
#include <psapi.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <string>

#include "driver/driver.h"
#include "driver/servers.h"
#include "export/download.h"
#include "real_export_services.h"

namespace {

constexpr int kRuns = 100;
// Less than two bytes a run for the heap, so that even the smallest value
// left unreleased on every run shows; committed memory moves in 64 KB steps,
// far below one list (16 KB) kept on every run.
constexpr long long kHeapSlack = 128;
constexpr long long kPrivateSlack = 256 * 1024;

struct Usage {
  long long handles = 0;
  long long heapBytes = 0;     // blocks in use on the process heap, where values live
  long long privateBytes = 0;  // committed private memory
};

// Wine reports no handle count and no private bytes: there the handles are
// counted one by one and the committed private regions summed up.
long long HandleCount() {
  DWORD count = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0) return count;
  long long open = 0;
  for (uintptr_t value = 4; value < 0x10000; value += 4) {
    DWORD flags;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++open;
  }
  return open;
}

long long PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters = {};
  counters.cb = sizeof counters;
  if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                           sizeof counters) &&
      counters.PrivateUsage > 0)
    return static_cast<long long>(counters.PrivateUsage);
  long long committed = 0;
  MEMORY_BASIC_INFORMATION region;
  for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
       at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) committed += region.RegionSize;
  }
  return committed;
}

long long HeapBytes() {
  HANDLE heap = GetProcessHeap();
  long long busy = 0;
  HeapLock(heap);
  PROCESS_HEAP_ENTRY entry = {};
  while (HeapWalk(heap, &entry))
    if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) busy += entry.cbData;
  HeapUnlock(heap);
  return busy;
}

Usage Now() { return {HandleCount(), HeapBytes(), PrivateBytes()}; }

// What `runs` calls of `step` add, after a few to warm up.
template <typename Step>
Usage Growth(Step step, int runs = kRuns) {
  for (int i = 0; i < 5; ++i) step();
  Usage before = Now();
  for (int i = 0; i < runs; ++i) step();
  Usage after = Now();
  return {after.handles - before.handles, after.heapBytes - before.heapBytes,
          after.privateBytes - before.privateBytes};
}

class Leaks : public testing::Test {
 protected:
  void TearDown() override { CloseDownloads(); }
};

TEST_F(Leaks, HundredRunsOfTheCommandLeaveHandlesAndMemoryAsTheyWere) {
  std::string folder = MakeTempFolder("leaks");
  RealExportServices services(HttpUrl(kListPath), folder + "\\list");
  Usage growth = Growth([&] { RunSaveAndCopy(services); });
  EXPECT_TRUE(services.messages.empty()) << services.messages.at(0);
  EXPECT_EQ(FileNow(folder + "\\list.txt"), SampleList());
  EXPECT_EQ(ClipboardNow(), SampleList());
  EXPECT_EQ(growth.handles, 0);
  EXPECT_LE(growth.heapBytes, kHeapSlack);
  EXPECT_LE(growth.privateBytes, kPrivateSlack);
}

// The failing paths release what they took as well.
TEST_F(Leaks, HundredFailingRunsLeaveThemAsTheyWere) {
  std::string folder = MakeTempFolder("failing");
  RealExportServices broken(HttpUrl("/drop/20000/10000"), folder + "\\list");
  RealExportServices unwritable(HttpUrl(kListPath), folder + "\\missing\\list");
  Usage growth = Growth([&] {
    RunSaveAndCopy(broken);
    RunSaveAndCopy(unwritable);
    broken.messages.clear();
    unwritable.messages.clear();
  });
  EXPECT_EQ(growth.handles, 0);
  EXPECT_LE(growth.heapBytes, kHeapSlack);
  EXPECT_LE(growth.privateBytes, kPrivateSlack);
}

// Over https Wine's secure channel keeps about 1 KB of heap and 20 KB of
// memory for every request it ever made, whoever makes it. The command's
// runs on the real list address add nothing to what as many bare WinINet
// requests keep.
void BareHttpsRequest() {
  HINTERNET root = InternetOpenA("bare", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  HINTERNET connection =
      InternetConnectA(root, "raw.githubusercontent.com", 443, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  HINTERNET request =
      HttpOpenRequestA(connection, "GET", kListPath, "HTTP/1.0", nullptr, nullptr,
                       INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_SECURE, 0);
  HttpSendRequestA(request, nullptr, 0, nullptr, 0);
  static char buffer[32768];
  DWORD got = 0;
  while (InternetReadFile(request, buffer, sizeof buffer, &got) && got > 0) {
  }
  InternetCloseHandle(request);
  InternetCloseHandle(connection);
  InternetCloseHandle(root);
}

TEST_F(Leaks, OverHttpsTheCommandKeepsNoMoreThanBareRequests) {
  std::string folder = MakeTempFolder("https");
  RealExportServices services(kListUrl, folder + "\\list");
  Usage command = Growth([&] { RunSaveAndCopy(services); });
  Usage bare = Growth([] {
    BareHttpsRequest();
    BareHttpsRequest();
  });
  EXPECT_TRUE(services.messages.empty()) << services.messages.at(0);
  EXPECT_EQ(command.handles, 0);
  EXPECT_LE(command.heapBytes - bare.heapBytes, kHeapSlack) << command.heapBytes << " vs " << bare.heapBytes;
  EXPECT_LE(command.privateBytes - bare.privateBytes, kPrivateSlack)
      << command.privateBytes << " vs " << bare.privateBytes;
}

}  // namespace
