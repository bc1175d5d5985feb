// The direct send pipelines: one gateway job that sends a short text (SendDirectSms) or an SKN
// package (SendDirectMms) to the recipients listed in a DSEND request.
//
// The request is the DSEND body with every "<QX>" already replaced by a backtick. Fields:
//   0 kind, 1 recipient count, 2 title, 3 reservation text, 4 recipients separated by commas,
//   5 callback number, 6 message text escaped for the UI link, 7 "<IMG>" and picture names (MMS).
// Both return the text shown to the user: kSendFailedText, or kSentText with the count.
#ifndef PARLEY_SEND_DIRECT_SEND_H_
#define PARLEY_SEND_DIRECT_SEND_H_

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include <asio/any_io_executor.hpp>
#include <asio/awaitable.hpp>

#include "send/send_refusals.h"

namespace parley {

// "메시지 전송에 실패하였습니다\n메시지를 다시 확인해주세요" (CP949).
inline constexpr std::string_view kSendFailedText =
    "\xB8\xDE\xBD\xC3\xC1\xF6 \xC0\xFC\xBC\xDB\xBF\xA1 \xBD\xC7\xC6\xD0\xC7\xCF\xBF\xB4\xBD\xC0"
    "\xB4\xCF\xB4\xD9\n\xB8\xDE\xBD\xC3\xC1\xF6\xB8\xA6 \xB4\xD9\xBD\xC3 \xC8\xAE\xC0\xCE\xC7\xD8"
    "\xC1\xD6\xBC\xBC\xBF\xE4";
// "총 %d건이\n성공적으로 전송되었습니다" (CP949), a printf format.
inline constexpr char kSentFormat[] =
    "\xC3\xD1 %d\xB0\xC7\xC0\xCC\n\xBC\xBA\xB0\xF8\xC0\xFB\xC0\xB8\xB7\xCE \xC0\xFC\xBC\xDB"
    "\xB5\xC7\xBE\xFA\xBD\xC0\xB4\xCF\xB4\xD9";
// "멀티메시지" (CP949): the title of an MMS job that was given none.
inline constexpr std::string_view kMmsDefaultTitle = "\xB8\xD6\xC6\xBC\xB8\xDE\xBD\xC3\xC1\xF6";

// Where MMS pictures are read from and the package is left: <module_dir>TempIMG/qx.SKN. A
// request's picture field starts with kImageMarker.
inline constexpr std::string_view kImageFolder = "TempIMG";
inline constexpr std::string_view kPackageFileName = "qx.SKN";
inline constexpr std::string_view kImageMarker = "<IMG>";

// The success text for `count` messages.
std::string SentText(int64_t count);

// Where and as whom a job is sent.
struct DirectSendSetup {
  asio::any_io_executor executor;     // the engine's io_context
  std::string gateway_host;           // name or dotted address
  uint16_t gateway_port = 0;          //
  std::chrono::milliseconds timeout;  // each reply wait, connect and write
  std::string module_dir;             // engine directory (UTF-8) ending in "/"; MMS only
  std::string login_id;               // CP949
  std::string password;               // CP949
};

// What a job leaves besides its user text.
struct DirectSendOutput {
  // The form body of the sent report; empty unless every message was submitted.
  std::string report;
  // The last five recipients (hyphens removed) in sending order, for the recent-numbers list;
  // empty unless the job was opened.
  std::vector<std::string> recent;
};

// The SKN package of one MMS job and its type code ("TXT", "IMT", ...), or why the job must not
// be sent (bytes and type code empty then).
struct JobPackage {
  std::string bytes;
  std::string type_code;
  SendRefusal refusal = SendRefusal::kNone;
};

class CMMSBulkSocket;

// Connects socket to the gateway of setup, sends the header of a job of `count` messages as the
// user of setup (acknowledgement interval 50) and awaits the job reply. The caller then reads
// JobAccepted() and JobId().
asio::awaitable<std::error_code> OpenJob(CMMSBulkSocket& socket, const DirectSendSetup& setup,
                                         std::string title, std::string type_code, int64_t count,
                                         std::string reserve_date);

// The longest the end of a job watches for a gateway hanging up.
inline constexpr std::chrono::milliseconds kJobEndGrace{200};

// Ends a job with CMMSBulkSocket::EndJob, watching at most kJobEndGrace (or `timeout` when
// shorter) for a gateway that hangs up on the last messages. Returns the write error, or
// kClosed when it hung up; success otherwise.
asio::awaitable<std::error_code> FinishJob(CMMSBulkSocket& socket,
                                           std::chrono::milliseconds timeout);

// The form body of a sent report: "jobid=..&type=SMS&totcnt=..&title=..&msg=..&resflag=..
// &reserdate=..&fromnumber=..", built with FormBody (every value encoded), resflag 1 without a
// reservation and 2 with one.
std::string SentReport(std::string_view job_id, int64_t count, std::string_view title,
                       std::string_view text, std::string_view reserve_date,
                       std::string_view from_number);

// True when name is a plain file name (no folder, not "." or ".."), safe to look up in TempIMG.
bool IsPlainFileName(std::string_view name);

// A picture of an MMS job, read once and shared by every package that carries it.
struct JobPicture {
  std::string name;                          // as the request names it (CP949)
  std::shared_ptr<const std::string> bytes;  // the whole file
};

// Reads the pictures `names` (CP949; empty names are skipped) from <module_dir>TempIMG/ with
// ReadPictureFile, in order, into *pictures. A name that is no plain file name or cannot be read
// (missing, a symbolic link, not a regular file) is left out (logged). Returns kPictureTooLarge
// when a picture is over kMaxPictureBytes and kPicturesMissing when names holds a name but none
// can be read, both with *pictures empty; else kNone.
SendRefusal ReadJobPictures(const std::string& module_dir, const std::vector<std::string>& names,
                            std::vector<JobPicture>* pictures);

// Builds the package of an MMS job: the subject `title`, the decoded text and the pictures named
// in field `picture_field` of `request` ("<IMG>" and up to three comma-separated file names, up
// to the first empty one, read with ReadJobPictures, whose refusal it returns). The package is
// also written to <module_dir>TempIMG/qx.SKN; a failed write is logged, and the returned bytes
// are what the job sends.
JobPackage BuildJobPackage(const std::string& module_dir, std::string_view title,
                           std::string_view text, std::string_view request, int picture_field);

// Sends the message text of `request` as one SMS per recipient. The job is refused with
// kSendFailedText, before the gateway is contacted, when the count (field 1) is over 999999 or
// names more recipients than field 4 lists, any recipient within the count is empty or over 19
// bytes, the callback is over 19 bytes, or the decoded text is over 99 bytes; and with
// RefusalText when a recipient within the count or the callback holds a NUL byte or a line
// break (kBadRecipient, kBadCallback). Otherwise returns
// kSendFailedText when the gateway refuses the job, fails to answer within the time-out, sends a
// negative acknowledgement or drops the connection, and kSentText when all messages were written.
asio::awaitable<std::string> SendDirectSms(const DirectSendSetup& setup, std::string request,
                                           DirectSendOutput* out);

// Sends one SKN package (the text and up to three pictures read from <module_dir>TempIMG/) per
// recipient. The package is also written to <module_dir>TempIMG/qx.SKN, but every job sends the
// bytes it built itself, so jobs running at once never mix packages. Refusals and results as
// SendDirectSms, without the limit on the text; a package that BuildJobPackage refuses answers
// RefusalText with its reason.
asio::awaitable<std::string> SendDirectMms(const DirectSendSetup& setup, std::string request,
                                           DirectSendOutput* out);

}  // namespace parley

#endif  // PARLEY_SEND_DIRECT_SEND_H_
