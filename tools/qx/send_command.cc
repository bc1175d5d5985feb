#include "qx/send_command.h"

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <system_error>

#include <CLI/CLI.hpp>

#include "link/message.h"
#include "qx/link_client.h"
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

// Codes the characters the UI link reserves, as the UI program does.
std::string EscapeUiText(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (c == '`') {
      out += "&gacct;";
    } else {
      out += c;
    }
  }
  return out;
}

bool Exchange(LinkClient& client, std::string_view code, std::string_view body, int timeout_s,
              std::string* reply, std::ostream& err) {
  std::string error;
  RawMessage m;
  if (!client.SendMessage(code, body, &error) ||
      !client.ReadMessage(&m, timeout_s * 1000, &error)) {
    err << "qx: " << error << "\n";
    return false;
  }
  *reply = m.body;
  return true;
}

// Copies the pictures into <home>/TempIMG/ and returns their file names.
bool StagePictures(const SendOptions& options, std::vector<std::string>* names, std::ostream& err) {
  if (options.images.empty()) return true;
  if (options.images.size() > kMaxPictures) {
    err << "qx: at most " << kMaxPictures << " pictures\n";
    return false;
  }
  if (options.home.empty()) {
    err << "qx: pictures are read from the engine's TempIMG folder: pass --home <engine home> "
           "or copy them to <engine home>/TempIMG/ yourself\n";
    return false;
  }
  const std::filesystem::path folder = std::filesystem::path(options.home) / "TempIMG";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  for (const std::string& image : options.images) {
    const std::filesystem::path source(image);
    std::filesystem::copy_file(source, folder / source.filename(),
                               std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) {
      err << "qx: cannot copy " << image << " to " << folder.string() << ": " << ec.message()
          << "\n";
      return false;
    }
    names->push_back(source.filename().string());
  }
  return true;
}

}  // namespace

CLI::App* AddSendCommand(CLI::App& app, SendOptions* options) {
  CLI::App* send = app.add_subcommand("send", "Run the send check and send a message");
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
              options.reserve, Utf8ToAnsi(Join(options.groups, ',')), Join(options.to, ',')};
  }
  fields.push_back(options.callback);
  fields.push_back(EscapeUiText(options.text));
  for (const std::string& field : fields) {
    body += kSep;
    body += field;
  }
  return body;
}

int RunSendCommand(const SendOptions& options, const std::string& host, uint16_t port,
                   int timeout_seconds, std::ostream& out, std::ostream& err) {
  const int mode = SendMode(options);
  if (options.to.empty() && options.groups.empty()) {
    err << "qx: name recipients with --to or --group\n";
    return 1;
  }
  const bool group_send = !options.groups.empty() && !options.check_only;
  std::vector<std::string> pictures;
  if (!options.check_only && !StagePictures(options, &pictures, err)) return 1;

  LinkClient client;
  std::string error;
  if (!client.Connect(host, port, &error)) {
    err << "qx: " << error << "\n";
    return 1;
  }
  std::string reply;
  if (!options.login.empty()) {
    const std::string login = options.login + std::string(kSep) + options.password;
    if (!Exchange(client, "LOGIN", login, timeout_seconds, &reply, err)) return 1;
    if (!reply.starts_with("2<QX>1")) {
      err << "qx: login refused\n";
      return 1;
    }
  }

  std::string body = SendBody(options, mode);
  if (!pictures.empty()) body += std::string(kSep) + "<IMG>" + Join(pictures, ',');
  if (group_send) {
    err << "sending to " << options.groups.size() << " group(s) and " << options.to.size()
        << " number(s)...\n";
    if (!Exchange(client, "ASEND", body, timeout_seconds, &reply, err)) return 1;
    out << "account: " << AnsiToUtf8(Replaced(reply, kSep, " | ")) << "\n";
    return 0;
  }

  const std::string check = "4" + std::string(kSep) + std::to_string(options.to.size()) +
                            std::string(kSep) + std::to_string(mode) + std::string(kSep) +
                            options.reserve;
  if (!Exchange(client, "DSEND", check, timeout_seconds, &reply, err)) return 1;
  // "QXSENDABLECHECK<QX>" + the check text + "<QX>" + kind + "<QX>" + count + account figures.
  const size_t text_at = std::min(reply.size(), reply.find(kSep) + kSep.size());
  out << "check: " << AnsiToUtf8(Replaced(reply.substr(text_at), kSep, " | ")) << "\n";
  if (reply.compare(text_at, 1, "1") != 0) {
    err << "qx: the send check did not pass\n";
    return 1;
  }
  if (options.check_only) return 0;

  err << "sending " << options.to.size() << " message(s)...\n";
  if (!Exchange(client, "DSEND", body, timeout_seconds, &reply, err)) return 1;
  const std::string text = reply.substr(0, reply.find(kSep));
  out << AnsiToUtf8(text) << "\n";
  return text.empty() || text == kSendFailedText ? 1 : 0;
}

}  // namespace parley
