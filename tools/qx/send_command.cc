#include "qx/send_command.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <system_error>

#include <CLI/CLI.hpp>

#include "link/message.h"
#include "qx/check_command.h"
#include "qx/exit_codes.h"
#include "qx/link_session.h"
#include "qx/reply_text.h"
#include "send/direct_send.h"
#include "send/gateway_records.h"
#include "text/cp949.h"
#include "text/mbcs.h"

namespace parley {
namespace {

constexpr std::string_view kSep = "<QX>";
constexpr size_t kMaxPictures = 3;

std::string Join(const std::vector<std::string>& parts, char sep) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += sep;
    out += parts[i];
  }
  return out;
}

// Copies source into folder under its own name without following a link already there: the
// bytes go to a new file in folder, which is then renamed over the name. Returns an empty text,
// or the reason the copy failed (nothing is left behind then).
std::string CopyInto(const std::filesystem::path& source, const std::filesystem::path& folder) {
  std::ifstream in(source, std::ios::binary);
  if (!in) return std::strerror(errno);
  std::string temp = (folder / ".qx-stage-XXXXXX").string();
  const int fd = mkstemp(temp.data());
  if (fd < 0) return std::strerror(errno);
  std::string reason;
  char buffer[64 * 1024];
  while (reason.empty() && in) {
    in.read(buffer, sizeof buffer);
    const char* p = buffer;
    for (std::streamsize left = in.gcount(); left > 0;) {
      const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        reason = std::strerror(errno);
        break;
      }
      p += n;
      left -= n;
    }
  }
  if (reason.empty() && in.bad()) reason = "read error";
  // The engine reads the picture as another user may; the package itself stays private.
  if (reason.empty() && ::fchmod(fd, 0644) != 0) reason = std::strerror(errno);
  if (::close(fd) != 0 && reason.empty()) reason = std::strerror(errno);
  if (reason.empty() && std::rename(temp.c_str(), (folder / source.filename()).c_str()) != 0) {
    reason = std::strerror(errno);
  }
  if (!reason.empty()) std::remove(temp.c_str());
  return reason;
}

}  // namespace

bool StagePictures(const std::vector<std::string>& images, const std::string& home,
                   std::vector<std::string>* names, std::ostream& err) {
  if (images.empty()) return true;
  if (images.size() > kMaxPictures) {
    err << "qx: at most " << kMaxPictures << " pictures\n";
    return false;
  }
  if (home.empty()) {
    err << "qx: pictures are read from the engine's TempIMG folder: pass --home <engine home> "
           "or copy them to <engine home>/TempIMG/ yourself\n";
    return false;
  }
  const std::filesystem::path folder = std::filesystem::path(home) / "TempIMG";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  for (const std::string& image : images) {
    const std::filesystem::path source(image);
    const std::filesystem::path target = folder / source.filename();
    std::error_code same_ec;
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(target, same_ec)) &&
        std::filesystem::equivalent(source, target, same_ec)) {
      names->push_back(source.filename().string());  // already in place
      continue;
    }
    if (const std::string reason = CopyInto(source, folder); !reason.empty()) {
      err << "qx: cannot copy " << image << " to " << folder.string() << ": " << reason << "\n";
      return false;
    }
    names->push_back(source.filename().string());
  }
  return true;
}

CLI::App* AddSendCommand(CLI::App& app, SendOptions* options) {
  CLI::App* send = app.add_subcommand(
      "send",
      "Run the send check and send a message (with --group: no check; the engine takes the job "
      "and cannot tell its result)");
  send->add_option("--to", options->to, "Recipient numbers")->delimiter(',');
  send->add_option("--group", options->groups, "Address-book group names (sends with ASEND)")
      ->delimiter(',');
  send->add_option("--text", options->text, "Message text")->required();
  send->add_option("--image", options->images, "Picture file (up to three)");
  send->add_option("--title", options->title, "Title");
  send->add_option("--callback", options->callback, "Callback (sender) number");
  send->add_option("--reserve", options->reserve, "Reservation date-time; empty sends now");
  send->add_option("--home", options->home, "The engine's home, where pictures are staged");
  send->add_option("--login", options->login, "Log in with this id first");
  send->add_option("--password", options->password, "Password for --login");
  send->add_flag("--check", options->check_only, "Only run the send check");
  send->footer(kExitCodesHelp);
  return send;
}

int SendMode(const SendOptions& options) {
  if (!options.images.empty()) return 3;
  return Utf8ToAnsi(options.text).size() > kMaxTextBytes ? 2 : 1;
}

std::string SendBody(const SendOptions& options, int mode) {
  std::string body = std::to_string(mode);
  std::vector<std::string> fields;
  if (options.groups.empty()) {
    fields = {std::to_string(options.to.size()), options.title, options.reserve,
              Join(options.to, ',')};
  } else {
    fields = {std::to_string(options.groups.size() + options.to.size()), options.title,
              options.reserve, Join(options.groups, ','), Join(options.to, ',')};
  }
  fields.push_back(options.callback);
  fields.push_back(EscapeUiText(options.text));
  for (const std::string& field : fields) {
    body += kSep;
    body += field;
  }
  return body;
}

int RunSendCommand(const SendOptions& options, const LinkTarget& target, std::ostream& out,
                   std::ostream& err) {
  const int mode = SendMode(options);
  if (options.to.empty() && options.groups.empty()) {
    err << "qx send: name recipients with --to or --group\n";
    return kExitUsage;
  }
  if (!options.groups.empty() && options.check_only) {
    err << "qx send: --check asks for a count of numbers; a group send runs no check\n";
    return kExitUsage;
  }
  const bool group_send = !options.groups.empty();
  std::vector<std::string> pictures;
  if (!options.check_only && !StagePictures(options.images, options.home, &pictures, err))
    return kExitUsage;

  LinkSession session(target, err);
  if (!session.Open()) return kExitNoEngine;
  std::string reply;
  if (!options.login.empty()) {
    const std::string login = options.login + std::string(kSep) + options.password;
    if (!session.Ask("LOGIN", login, &reply)) return kExitNoEngine;
    if (!reply.starts_with("2<QX>1")) {
      err << "qx send: login refused\n";
      return kExitRefused;
    }
  }

  std::string body = SendBody(options, mode);
  if (!pictures.empty()) body += std::string(kSep) + "<IMG>" + Join(pictures, ',');
  AccountInfo info;
  if (group_send) {
    const std::string label = "sending to " + std::to_string(options.groups.size()) +
                              " group(s) and " + std::to_string(options.to.size()) +
                              " number(s)...";
    if (!session.Ask("ASEND", body, &reply, label)) return kExitNoEngine;
    out << "group send handed to the gateway\n";
    if (ParseAccountTail(reply, &info)) PrintAccount(info, out);
    return kExitOk;
  }

  bool passed = false;
  if (!RunSendCheck(session, "DSEND", static_cast<int64_t>(options.to.size()), std::to_string(mode),
                    options.reserve, out, &passed)) {
    return kExitNoEngine;
  }
  if (!passed) {
    err << "qx send: the send check did not pass\n";
    return kExitRefused;
  }
  if (options.check_only) return kExitOk;

  const std::string label = "sending " + std::to_string(options.to.size()) + " message(s)...";
  if (!session.Ask("DSEND", body, &reply, label)) return kExitNoEngine;
  // The pipeline's text, then the six account fields.
  const std::string text = reply.substr(0, reply.find(kSep));
  out << (text.empty() ? std::string("nothing sent") : AnsiToUtf8(text)) << "\n";
  if (ParseAccountTail(reply, &info)) PrintAccount(info, out);
  return text.empty() || text == kSendFailedText ? kExitRefused : kExitOk;
}

}  // namespace parley
