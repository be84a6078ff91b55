#include "platform/tls_peer.h"

#include "platform/fs.h"
#include "platform/text.h"
#include "platform/unique_resource.h"
#include "platform/win32/windows_api.h"
// windows.h leaves this out under WIN32_LEAN_AND_MEAN.
#include <wincrypt.h>

namespace platform {
namespace {

struct StoreTraits {
  using Value = HCERTSTORE;
  static Value Invalid() noexcept { return nullptr; }
  static void Close(Value store) noexcept {
    const DWORD saved = ::GetLastError();
    ::CertCloseStore(store, 0);
    ::SetLastError(saved);
  }
};
using UniqueStore = UniqueResource<StoreTraits>;

struct CertificateTraits {
  using Value = PCCERT_CONTEXT;
  static Value Invalid() noexcept { return nullptr; }
  static void Close(Value certificate) noexcept {
    const DWORD saved = ::GetLastError();
    ::CertFreeCertificateContext(certificate);
    ::SetLastError(saved);
  }
};
using UniqueCertificate = UniqueResource<CertificateTraits>;

struct EngineTraits {
  using Value = HCERTCHAINENGINE;
  static Value Invalid() noexcept { return nullptr; }
  static void Close(Value engine) noexcept {
    const DWORD saved = ::GetLastError();
    ::CertFreeCertificateChainEngine(engine);
    ::SetLastError(saved);
  }
};
using UniqueEngine = UniqueResource<EngineTraits>;

struct ChainTraits {
  using Value = PCCERT_CHAIN_CONTEXT;
  static Value Invalid() noexcept { return nullptr; }
  static void Close(Value chain) noexcept {
    const DWORD saved = ::GetLastError();
    ::CertFreeCertificateChain(chain);
    ::SetLastError(saved);
  }
};
using UniqueChain = UniqueResource<ChainTraits>;

UniqueStore NewMemoryStore() {
  return UniqueStore(::CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr));
}

// Adds every PEM certificate block of text to store; the first one added goes to *first when given.
// False when a block does not decode or text holds none.
bool AddPemCertificates(HCERTSTORE store, std::string_view text, UniqueCertificate* first) {
  constexpr std::string_view kBegin = "-----BEGIN CERTIFICATE-----";
  constexpr std::string_view kEnd = "-----END CERTIFICATE-----";
  bool any = false;
  for (std::size_t at = text.find(kBegin); at != std::string_view::npos; at = text.find(kBegin, at)) {
    const std::size_t end = text.find(kEnd, at);
    if (end == std::string_view::npos) return false;
    const std::string_view block = text.substr(at, end + kEnd.size() - at);
    at = end + kEnd.size();
    DWORD size = 0;
    if (!::CryptStringToBinaryA(block.data(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER, nullptr,
                                &size, nullptr, nullptr)) {
      return false;
    }
    std::vector<BYTE> der(size);
    if (!::CryptStringToBinaryA(block.data(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER, der.data(),
                                &size, nullptr, nullptr)) {
      return false;
    }
    PCCERT_CONTEXT added = nullptr;
    const bool wanted = first != nullptr && !first->valid();
    if (!::CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), size, CERT_STORE_ADD_ALWAYS,
                                            wanted ? &added : nullptr)) {
      return false;
    }
    if (wanted) first->reset(added);
    any = true;
  }
  return any;
}

// The test seam: an engine whose only roots are the authorities in file, so a test authority is
// believed without entering the system store.
UniqueEngine EngineTrustingOnly(const char* file, UniqueStore* roots) {
  // Through the platform's own file, not a stream: iostreams would add most of a megabyte to the exe.
  InputFile in = InputFile::Open(SystemMultiByteToWide(kCodePageAnsi, file));
  std::string text;
  char chunk[4096];
  uint32_t got = 0;
  do {
    if (!in.IsOpen() || !in.Read(chunk, sizeof chunk, &got)) return UniqueEngine();
    text.append(chunk, got);
  } while (got != 0);
  *roots = NewMemoryStore();
  if (!*roots || !AddPemCertificates(roots->get(), text, nullptr)) return UniqueEngine();
  CERT_CHAIN_ENGINE_CONFIG config{};
  config.cbSize = sizeof(config);
  config.hExclusiveRoot = roots->get();
  HCERTCHAINENGINE engine = nullptr;
  if (!::CertCreateCertificateChainEngine(&config, &engine)) return UniqueEngine();
  return UniqueEngine(engine);
}

}  // namespace

bool TlsPeerTrusted(const std::vector<std::string>& peerChain, std::string_view host, const char* authorityFile) {
  UniqueStore sent = NewMemoryStore();
  if (!sent) return false;
  UniqueCertificate server;
  for (const std::string& pem : peerChain) {
    if (!AddPemCertificates(sent.get(), pem, &server)) return false;
  }
  if (!server) return false;

  UniqueStore roots;
  UniqueEngine engine;  // none: the system's own, with the system store's roots
  if (authorityFile != nullptr) {
    engine = EngineTrustingOnly(authorityFile, &roots);
    if (!engine) return false;
  }
  LPSTR serverAuth[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
  CERT_CHAIN_PARA chainPara{};
  chainPara.cbSize = sizeof(chainPara);
  chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
  chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = serverAuth;
  // No revocation flags: this check stays offline so it adds nothing to the transfer's time-out.
  // Where Schannel itself checks (Windows), it has already checked revocation, best effort.
  PCCERT_CHAIN_CONTEXT built = nullptr;
  if (!::CertGetCertificateChain(engine.get(), server.get(), nullptr, sent.get(), &chainPara, 0, nullptr, &built)) {
    return false;
  }
  const UniqueChain chain(built);
  // Wine's SSL policy lets a chain that reaches no root at all pass, so the chain's own status counts
  // too; what only says revocation could not be looked up stays best effort, as in Schannel.
  constexpr DWORD kBestEffort =
      CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION | CERT_TRUST_IS_NOT_TIME_NESTED;
  if ((chain.get()->TrustStatus.dwErrorStatus & ~kBestEffort) != CERT_TRUST_NO_ERROR) return false;

  const std::u16string name = Utf8ToUtf16(host);
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
  ssl.cbSize = sizeof(ssl);
  ssl.dwAuthType = AUTHTYPE_SERVER;
  ssl.pwszServerName = const_cast<wchar_t*>(win32::Wide(name));
  CERT_CHAIN_POLICY_PARA policy{};
  policy.cbSize = sizeof(policy);
  policy.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS status{};
  status.cbSize = sizeof(status);
  if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy, &status)) return false;
  return status.dwError == 0;
}

}  // namespace platform
