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
#include "protocol/markup.h"
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

std::optional<Verdict> StagePictures(const std::vector<std::string>& images,
                                     const std::string& home, std::vector<std::string>* names) {
  if (images.empty()) return std::nullopt;
  if (images.size() > kMaxPictures) {
    return Verdict{Msg::kPictureTooMany,
                   {std::to_string(images.size()), std::to_string(kMaxPictures)},
                   kFieldPicture};
  }
  if (home.empty()) return Verdict{Msg::kPicturesNeedHome, {}, kFieldPicture};
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
      return Verdict{
          Msg::kPictureCopyFailed, {image, folder.string(), reason}, kFieldPicture, image};
    }
    names->push_back(source.filename().string());
  }
  return std::nullopt;
}

int SendMode(const SendOptions& options) {
  if (!options.images.empty()) return 3;
  return Utf8ToAnsi(options.text).size() > options.limits.sms_bytes ? 2 : 1;
}

std::string SendBody(const SendOptions& options, int mode,
                     const std::vector<std::string>& pictures) {
  std::string title = options.title;
  if (options.advert) {
    title = std::string(protocol::kAdvertTag) +
            (options.night_consent ? std::string(protocol::kNightConsentTag) : std::string()) +
            title;
  }
  if (options.groups.empty()) {
    return protocol::DirectSendRequest{mode,
                                       static_cast<int>(options.to.size()),
                                       title,
                                       options.reserve,
                                       Join(options.to, ','),
                                       options.callback,
                                       EscapeUiText(options.text),
                                       pictures}
        .Build();
  }
  return protocol::GroupSendRequest{mode,
                                    static_cast<int>(options.groups.size() + options.to.size()),
                                    title,
                                    options.reserve,
                                    Join(options.groups, ','),
                                    Join(options.to, ','),
                                    options.callback,
                                    EscapeUiText(options.text),
                                    pictures}
      .Build();
}

}  // namespace parley
