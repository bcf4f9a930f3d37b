// Adds a DER certificate to the Root store of the current (test) Wine prefix.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: trust_ca FILE.der\n");
    return 2;
  }
  FILE* f = std::fopen(argv[1], "rb");
  if (!f) {
    std::fprintf(stderr, "trust_ca: cannot open %s\n", argv[1]);
    return 1;
  }
  std::vector<unsigned char> der;
  unsigned char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) der.insert(der.end(), buf, buf + n);
  std::fclose(f);
  if (!CertAddEncodedCertificateToSystemStoreA("Root", der.data(), static_cast<DWORD>(der.size()))) {
    std::fprintf(stderr, "trust_ca: CertAddEncodedCertificateToSystemStoreA failed (%lu)\n", GetLastError());
    return 1;
  }
  return 0;
}
