// GatewaySocket: the connection of one sending job to the message gateway (records in
// gateway_records.h).
//
// Calling order within one job, from a coroutine on the engine's io_context:
//   SetServer -> SendJobHeader -> WaitReply (job reply) -> per recipient SendTextMessage or
//   SendFileMessage, with WaitReply (acknowledgement) after every 50th message -> EndJob (or
//   Flush) -> destroy.
//
// Message packets are gathered in an output buffer and written in large pieces: the buffer is
// flushed when it passes kFlushBytes, before every wait for a reply, and by Flush(). The bytes on
// the wire are the same as with one write per packet. Every operation gives its outcome as a
// std::error_code (GatewayError or a transport error); none throws for a network failure.
#ifndef PARLEY_SEND_GATEWAY_SOCKET_H_
#define PARLEY_SEND_GATEWAY_SOCKET_H_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

#include <asio/awaitable.hpp>

#include "send/gateway_error.h"
#include "send/gateway_records.h"

namespace parley {

class GatewaySocket {
 public:
  // Output bytes gathered before a write is started without waiting for a reply.
  static constexpr size_t kFlushBytes = 256 * 1024;
  // The receive buffer; a reply never needs more than kLongestReplySize of it.
  static constexpr size_t kReceiveBufferSize = 4096;

  // The socket runs on executor (the engine's io_context). It is not connected until the first
  // SendJobHeader.
  explicit GatewaySocket(const asio::any_io_executor& executor);
  // Closes the connection as Close() does. Packets still in the output buffer are dropped: call
  // Flush() first.
  ~GatewaySocket();
  GatewaySocket(const GatewaySocket&) = delete;
  GatewaySocket& operator=(const GatewaySocket&) = delete;

  // Replaces the gateway host (a name or a dotted address) and port used by the next connect.
  void SetServer(std::string host, uint16_t port);

  // Bounds each connect and each write (30 s unless set). A host name is looked up by the
  // system resolver, which keeps to its own time-outs.
  void SetIoTimeout(std::chrono::milliseconds timeout);

  // Sets what runs before any bytes are written to the gateway (the job header, queued packets, a
  // file message): a record of what is about to leave. When it returns false nothing is written,
  // the connection is closed and the call that wrote gives GatewayError::kNotRecorded.
  void SetBeforeWrite(std::function<bool()> before_write);

  // Opens the connection when none is open, then sends the job header packet. Returns success
  // when the 123 bytes were written; GatewayError::kFieldTooLong when a header field other than
  // the title does not fit (nothing is sent, no connection is opened); kTimeout, or the
  // resolver's or connect's or write's error otherwise. A title over 49 bytes is cut at a
  // character boundary; title_cut_bytes() tells how many bytes were left out.
  // Pass a named JobHeader: GCC 12 destroys a brace-initialised temporary inside a co_await
  // expression twice.
  asio::awaitable<std::error_code> SendJobHeader(const JobHeader& header);

  // Queues a text message packet, writing the output buffer when it is full. Returns
  // kFieldTooLong when the recipient or callback is over 19 bytes (the packet is not queued), a
  // write error as Flush(), or kClosed when the connection is not open. A text over 99 bytes is cut
  // at a character boundary and counted in cut_texts(). The strings are only read before the first
  // suspension of the call.
  asio::awaitable<std::error_code> SendTextMessage(std::string_view recipient,
                                                   std::string_view callback,
                                                   std::string_view text);

  // Queues a file message: the 53-byte head and then `file` itself (the package bytes, held by
  // the caller and read only during the call). Errors as SendTextMessage; kFieldTooLong also
  // for a file of 1000 million bytes or more.
  asio::awaitable<std::error_code> SendFileMessage(std::string_view recipient,
                                                   std::string_view callback,
                                                   std::string_view file);

  // Writes everything queued. Returns kClosed when the gateway has closed or reset the
  // connection, kTimeout when it did not take the bytes within the I/O time-out, or another
  // write error; after an error the connection is closed.
  asio::awaitable<std::error_code> Flush();

  // Ends the job. The gateway confirms no job's end, but one that drops the last messages hangs
  // up: so this flushes, then watches the connection (discarding late replies) for four times
  // the slowest reply of the job, at least 20 ms and at most `longest` (when that is longer than
  // 20 ms), then closes it as Close() does. Returns a write error, or kClosed when the gateway
  // hung up; success when the connection stayed open.
  asio::awaitable<std::error_code> EndJob(std::chrono::milliseconds longest);

  // Flushes, then waits until the next reply is complete or `timeout` has passed since the call
  // (the deadline does not move, whatever arrives meanwhile). Replies are read as a stream: bytes
  // after a complete reply are kept for the next wait, and a reply arriving in pieces is joined.
  // Both reply records are zeroed when the wait starts; on success the one of the reply taken
  // holds it. Returns kTimeout (bytes of an unfinished reply are kept), kClosed when the gateway
  // closed or reset the connection before a complete reply, kBadReplyType when a reply starts with
  // a byte other than '2' or '4' (the bytes held are dropped), or a read error.
  asio::awaitable<std::error_code> WaitReply(std::chrono::milliseconds timeout);

  // Closes the connection at once: queued packets are dropped, replies that arrived unread are
  // discarded (so the connection ends with a FIN, not a reset).
  void Close();

  // The last job reply and acknowledgement taken by WaitReply, byte for byte; zero after a wait
  // that took another reply or none.
  std::span<const char, kJobReplySize> job_reply_record() const;
  std::span<const char, kAcknowledgementSize> ack_record() const;
  // True when the last wait took a job reply with result '0'.
  bool JobAccepted() const;
  // The job id of the last job reply (its text up to the NUL); empty when none was taken.
  std::string JobId() const;
  // True when the last wait took an acknowledgement with result '0'.
  bool AckOk() const;

  bool connected() const;
  // Bytes cut from the title of the last job header.
  size_t title_cut_bytes() const;
  // Text messages whose text was cut to fit its packet.
  int64_t cut_texts() const;
  // Message packets queued since the job header.
  int64_t messages() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace parley

#endif  // PARLEY_SEND_GATEWAY_SOCKET_H_
