#include "platform/tls_peer.h"

namespace platform {

// The native TLS library verified the chain and the host name during the handshake.
bool TlsPeerTrusted(const std::vector<std::string>&, std::string_view, const char*) { return true; }

}  // namespace platform
