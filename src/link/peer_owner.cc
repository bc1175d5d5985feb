#include "link/peer_owner.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace parley {
namespace {

// An address as the kernel's tables print it: each 32-bit word of the address as the host reads
// it from memory, in upper-case hex, then ":" and the port.
std::string TableText(const SocketAddress& address) {
  std::string text;
  const size_t words = address.v6 ? 4 : 1;
  char hex[3];
  for (size_t w = 0; w < words; ++w) {
    for (size_t b = 4; b-- > 0;) {
      std::snprintf(hex, sizeof hex, "%02X", address.bytes[w * 4 + b]);
      text += hex;
    }
  }
  char port[6];
  std::snprintf(port, sizeof port, "%04X", address.port);
  return text + ":" + port;
}

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    const size_t start = i;
    while (i < line.size() && line[i] != ' ') ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

}  // namespace

std::optional<uint32_t> FindSocketOwner(std::string_view table, const SocketAddress& local,
                                        const SocketAddress& remote) {
  const std::string want_local = TableText(local);
  const std::string want_remote = TableText(remote);
  // Columns: sl local_address rem_address st tx:rx tr:when retrnsmt uid timeout inode ...
  constexpr size_t kLocal = 1, kRemote = 2, kUid = 7;
  while (!table.empty()) {
    const size_t end = table.find('\n');
    const std::string_view line = table.substr(0, end);
    table = end == std::string_view::npos ? std::string_view() : table.substr(end + 1);
    const std::vector<std::string_view> w = Words(line);
    if (w.size() <= kUid || w[kLocal] != want_local || w[kRemote] != want_remote) continue;
    uint32_t uid = 0;
    const auto [at, ec] = std::from_chars(w[kUid].data(), w[kUid].data() + w[kUid].size(), uid);
    if (ec == std::errc() && at == w[kUid].data() + w[kUid].size()) return uid;
  }
  return std::nullopt;
}

std::optional<uint32_t> LoopbackPeerOwner(const SocketAddress& ours, const SocketAddress& peer) {
  std::ifstream in(peer.v6 ? "/proc/net/tcp6" : "/proc/net/tcp", std::ios::binary);
  const std::string table((std::istreambuf_iterator<char>(in)), {});
  // The peer's socket has our remote address as its local one.
  return FindSocketOwner(table, peer, ours);
}

}  // namespace parley
