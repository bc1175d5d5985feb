#include "client/picture_check.h"

#include <filesystem>
#include <fstream>

namespace parley {

std::vector<std::string> CheckPictures(const std::vector<std::string>& paths, Language language,
                                       size_t max_bytes) {
  std::vector<std::string> problems;
  if (paths.size() > kMaxPictures) {
    problems.push_back(Text(language, Msg::kPictureTooMany,
                            {std::to_string(paths.size()), std::to_string(kMaxPictures)}));
  }
  for (const std::string& path : paths) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    std::ifstream in(path, std::ios::binary);
    if (ec || !in) {
      problems.push_back(Text(language, Msg::kPictureUnreadable, {path}));
      continue;
    }
    unsigned char magic[3] = {};
    in.read(reinterpret_cast<char*>(magic), sizeof magic);
    if (in.gcount() < 3 || magic[0] != 0xFF || magic[1] != 0xD8 || magic[2] != 0xFF) {
      problems.push_back(Text(language, Msg::kPictureNotJpeg, {path}));
    } else if (size > max_bytes) {
      problems.push_back(Text(language, Msg::kPictureTooLarge,
                              {path, std::to_string(size), std::to_string(max_bytes)}));
    }
  }
  return problems;
}

}  // namespace parley
