// Who owns the other end of a loopback TCP connection: the user id of the socket whose local and
// remote addresses are this connection's remote and local ones, read from the kernel's socket
// tables (/proc/net/tcp and /proc/net/tcp6). The UI link accepts a loopback connection only from
// a process of the engine's own user.
#ifndef PARLEY_LINK_PEER_OWNER_H_
#define PARLEY_LINK_PEER_OWNER_H_

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace parley {

// An address and port: 4 bytes (IPv4) or 16 bytes (IPv6) in network order.
struct SocketAddress {
  std::array<uint8_t, 16> bytes{};
  bool v6 = false;
  uint16_t port = 0;
};

// The uid of the socket in `table` (the text of /proc/net/tcp or tcp6) whose local address is
// `local` and whose remote address is `remote`; none when no line matches.
std::optional<uint32_t> FindSocketOwner(std::string_view table, const SocketAddress& local,
                                        const SocketAddress& remote);

// The uid of the process at the other end of our connection from `ours` to `peer`, looked up in
// the kernel's tables; none when it cannot be found.
std::optional<uint32_t> LoopbackPeerOwner(const SocketAddress& ours, const SocketAddress& peer);

}  // namespace parley

#endif  // PARLEY_LINK_PEER_OWNER_H_
