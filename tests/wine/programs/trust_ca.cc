// Adds a DER-encoded certificate to the machine's "Root" store of the Wine
// prefix it runs in, so that the prefix trusts the bench's test authority.
//   trust_ca.exe CERTIFICATE.der
#include <windows.h>

#include <wincrypt.h>

#include <cstdio>
#include <vector>

#include "base/scoped_win.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fputs("usage: trust_ca CERTIFICATE.der\n", stderr);
    return 2;
  }
  ScopedHandle file(
      CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file.IsValid()) return 3;
  std::vector<BYTE> der(GetFileSize(file.Get(), nullptr));
  DWORD read = 0;
  if (!ReadFile(file.Get(), der.data(), static_cast<DWORD>(der.size()), &read, nullptr) ||
      read != der.size()) {
    return 3;
  }
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                   CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
  if (!store) return 4;
  const BOOL added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), read,
                                                      CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  CertCloseStore(store, 0);
  return added ? 0 : 5;
}
