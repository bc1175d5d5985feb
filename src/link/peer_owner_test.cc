#include "link/peer_owner.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace parley {
namespace {

SocketAddress V4(uint8_t a, uint8_t b, uint8_t c, uint8_t d, uint16_t port) {
  SocketAddress address;
  address.bytes = {a, b, c, d};
  address.port = port;
  return address;
}

// Lines as the kernel writes them: 127.0.0.1:12012 <-> 127.0.0.1:40000, each end owned by a user.
constexpr std::string_view kTable =
    "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout "
    "inode\n"
    "   0: 0100007F:2EEC 00000000:0000 0A 00000000:00000000 00:00000000 00000000     0        0 "
    "100 1 0000000000000000 100 0 0 10 0\n"
    "   1: 0100007F:9C40 0100007F:2EEC 01 00000000:00000000 00:00000000 00000000  1000        0 "
    "101 1 0000000000000000 20 4 30 10 -1\n"
    "   2: 0100007F:2EEC 0100007F:9C40 01 00000000:00000000 00:00000000 00000000     0        0 "
    "102 1 0000000000000000 20 4 30 10 -1\n";

TEST(PeerOwnerTest, FindsTheSocketByBothEnds) {
  const SocketAddress engine = V4(127, 0, 0, 1, 12012);
  const SocketAddress client = V4(127, 0, 0, 1, 40000);
  EXPECT_EQ(FindSocketOwner(kTable, client, engine), 1000u);
  EXPECT_EQ(FindSocketOwner(kTable, engine, client), 0u);
  EXPECT_EQ(FindSocketOwner(kTable, V4(127, 0, 0, 1, 40001), engine), std::nullopt);
  EXPECT_EQ(FindSocketOwner("", client, engine), std::nullopt);

  SocketAddress v6;
  v6.v6 = true;
  v6.bytes[15] = 1;  // ::1
  v6.port = 80;
  const std::string line6 =
      "   0: 00000000000000000000000001000000:0050 00000000000000000000000001000000:9C40 01 "
      "00000000:00000000 00:00000000 00000000  1234 0 9 1\n";
  SocketAddress peer6 = v6;
  peer6.port = 40000;
  EXPECT_EQ(FindSocketOwner(line6, v6, peer6), 1234u);
}

// A real connection: the owner of the client's socket is this process's user, and a process that
// changed to another user is seen as that user.
TEST(PeerOwnerTest, SeesTheUserOfARealLoopbackPeer) {
  const int server = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(server, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
  ASSERT_EQ(listen(server, 4), 0);
  socklen_t size = sizeof at;
  getsockname(server, reinterpret_cast<sockaddr*>(&at), &size);
  const uint16_t port = ntohs(at.sin_port);

  auto connect_as = [&](bool other_user) {
    const pid_t child = fork();
    if (child == 0) {
      if (other_user && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
      const int c = socket(AF_INET, SOCK_STREAM, 0);
      if (connect(c, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) _exit(2);
      char byte;
      (void)read(c, &byte, 1);  // held open until the test closes its end
      _exit(0);
    }
    sockaddr_in peer{};
    socklen_t peer_size = sizeof peer;
    const int accepted = accept(server, reinterpret_cast<sockaddr*>(&peer), &peer_size);
    sockaddr_in ours{};
    socklen_t ours_size = sizeof ours;
    getsockname(accepted, reinterpret_cast<sockaddr*>(&ours), &ours_size);
    const std::optional<uint32_t> owner = LoopbackPeerOwner(V4(127, 0, 0, 1, ntohs(ours.sin_port)),
                                                            V4(127, 0, 0, 1, ntohs(peer.sin_port)));
    close(accepted);
    int status = 0;
    waitpid(child, &status, 0);
    return owner;
  };
  EXPECT_EQ(connect_as(false), static_cast<uint32_t>(geteuid()));
  if (geteuid() == 0) {
    EXPECT_EQ(connect_as(true), 65534u);
  }
  close(server);
}

}  // namespace
}  // namespace parley
