#include "client/send_request.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <system_error>

#include "client/phone_number.h"
#include "client/picture_check.h"
#include "client/reservation.h"
#include "client/send_input.h"
#include "protocol/send_requests.h"
#include "text/cp949.h"
#include "text/mbcs.h"

namespace parley {
namespace {

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
                   std::vector<std::string>* names, Language language, std::ostream& err) {
  if (images.empty()) return true;
  if (images.size() > kMaxPictures) {
    err << Text(language, Msg::kPictureTooMany,
                {std::to_string(images.size()), std::to_string(kMaxPictures)})
        << "\n";
    return false;
  }
  if (home.empty()) {
    err << Text(language, Msg::kPicturesNeedHome) << "\n";
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
      err << Text(language, Msg::kPictureCopyFailed, {image, folder.string(), reason}) << "\n";
      return false;
    }
    names->push_back(source.filename().string());
  }
  return true;
}

int SendMode(const SendOptions& options) {
  if (!options.images.empty()) return 3;
  return Utf8ToAnsi(options.text).size() > options.limits.sms_bytes ? 2 : 1;
}

std::string SendBody(const SendOptions& options, int mode,
                     const std::vector<std::string>& pictures) {
  if (options.groups.empty()) {
    return protocol::DirectSendRequest{mode,
                                       static_cast<int>(options.to.size()),
                                       options.title,
                                       options.reserve,
                                       Join(options.to, ','),
                                       options.callback,
                                       EscapeUiText(options.text),
                                       pictures}
        .Build();
  }
  return protocol::GroupSendRequest{mode,
                                    static_cast<int>(options.groups.size() + options.to.size()),
                                    options.title,
                                    options.reserve,
                                    Join(options.groups, ','),
                                    Join(options.to, ','),
                                    options.callback,
                                    EscapeUiText(options.text),
                                    pictures}
      .Build();
}

bool CheckSendRequest(const SendOptions& options, SendOptions* checked, std::ostream& out,
                      std::ostream& err) {
  const Language lang = options.language;
  *checked = options;
  bool ok = true;
  checked->groups.clear();
  for (const std::string& value : options.groups) {
    for (std::string_view name : SplitFields(value, ',')) {
      if (!name.empty()) checked->groups.emplace_back(name);
    }
  }
  // Recipients.
  std::vector<SourcedItem> items = ItemsOfToOptions(options.to);
  if (!options.to_file.empty() &&
      !ItemsOfFile(options.to_file, options.to_column, &items, lang, err)) {
    return false;
  }
  std::vector<ListItem> list;
  for (const SourcedItem& s : items) list.push_back(s.item);
  const RecipientList recipients = CheckRecipients(list, options.keep_duplicates, lang);
  for (const RefusedNumber& refused : recipients.refused) {
    for (const SourcedItem& s : items) {
      if (s.item.text == refused.item.text && s.item.line == refused.item.line &&
          s.item.item == refused.item.item) {
        err << Text(lang, Msg::kNumberSource, {s.where, refused.reason}) << "\n";
        break;
      }
    }
    ok = false;
  }
  checked->to = recipients.numbers;
  if (checked->to.empty() && options.groups.empty() && recipients.refused.empty()) {
    err << Text(lang, Msg::kNoRecipients) << "\n";
    ok = false;
  }
  // Callback: optional, as the engine leaves it to the web service; a given one must be valid.
  if (!options.callback.empty()) {
    const NumberResult callback = NormalizeNumber(options.callback, NumberUse::kCallback);
    if (!callback.ok()) {
      err << Text(lang, callback.reason, {options.callback}) << "\n";
      ok = false;
    }
    checked->callback = callback.number;
  }
  // Text.
  if (!options.text_file.empty() && !ReadTextFile(options.text_file, &checked->text, lang, err)) {
    return false;
  }
  const TextCheck text = CheckText(checked->text, options.images.size(), options.limits, lang);
  for (const std::string& problem : text.problems) err << problem << "\n";
  ok = ok && text.problems.empty();
  // Reservation and pictures.
  const ReservationResult reserve = ParseReservation(options.reserve, LocalMinuteNow(), lang);
  if (!reserve.ok()) err << reserve.problem << "\n";
  ok = ok && reserve.ok();
  checked->reserve = reserve.engine_text;
  for (const std::string& problem : CheckPictures(options.images, lang)) {
    err << problem << "\n";
    ok = false;
  }
  if (!ok) return false;

  // What will be sent.
  if (!checked->to.empty()) {
    out << Text(lang, Msg::kRecipientsCount, {std::to_string(checked->to.size())}) << ": ";
    constexpr size_t kShown = 10;
    for (size_t i = 0; i < checked->to.size() && i < kShown; ++i) {
      out << (i > 0 ? ", " : "") << checked->to[i];
    }
    out << (checked->to.size() > kShown ? ", ...\n" : "\n");
  }
  if (recipients.duplicates_removed > 0) {
    out << Text(lang, Msg::kDuplicatesRemoved, {std::to_string(recipients.duplicates_removed)})
        << "\n";
  }
  out << Text(lang, Msg::kTextSummary,
              {KindName(text.kind), std::to_string(text.bytes), std::to_string(text.limit)})
      << "\n";
  out << (checked->reserve.empty() ? Text(lang, Msg::kReserveNow)
                                   : Text(lang, Msg::kReserveAt, {options.reserve}))
      << "\n";
  return true;
}

}  // namespace parley
