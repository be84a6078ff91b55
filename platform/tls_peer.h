#pragma once
// A second check of a TLS server's certificate chain, made after the handshake by the system's own
// certificate code. Wine's Schannel accepts any chain it is left to check against the system store,
// so on Windows the chain is checked here again; the native TLS library has checked it already.
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// peerChain: the certificates the server sent, as PEM text, its own first. True when the first one
// is currently valid, names host, and leads to an authority trusted for server authentication:
// the system store's, or, when authorityFile (a PEM file) is given, only those in that file.
bool TlsPeerTrusted(const std::vector<std::string>& peerChain, std::string_view host, const char* authorityFile);

}  // namespace platform
