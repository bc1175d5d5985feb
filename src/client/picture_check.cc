#include "client/picture_check.h"

#include <filesystem>
#include <fstream>

namespace parley {

PictureProblem JudgePicture(std::string_view head, uint64_t size, size_t max_bytes) {
  if (head.size() < 3 || static_cast<unsigned char>(head[0]) != 0xFF ||
      static_cast<unsigned char>(head[1]) != 0xD8 || static_cast<unsigned char>(head[2]) != 0xFF) {
    return PictureProblem::kNotJpeg;
  }
  return size > max_bytes ? PictureProblem::kTooLarge : PictureProblem::kNone;
}

PictureProblem JudgePictureFile(const std::string& path, size_t max_bytes) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  std::ifstream in(path, std::ios::binary);
  if (ec || !in) return PictureProblem::kUnreadable;
  char head[3] = {};
  in.read(head, sizeof head);
  return JudgePicture(std::string_view(head, static_cast<size_t>(in.gcount())), size, max_bytes);
}

std::vector<std::string> CheckPictures(const std::vector<std::string>& paths, Language language,
                                       size_t max_bytes) {
  std::vector<std::string> problems;
  if (paths.size() > kMaxPictures) {
    problems.push_back(Text(language, Msg::kPictureTooMany,
                            {std::to_string(paths.size()), std::to_string(kMaxPictures)}));
  }
  for (const std::string& path : paths) {
    switch (JudgePictureFile(path, max_bytes)) {
      case PictureProblem::kNone:
        break;
      case PictureProblem::kUnreadable:
        problems.push_back(Text(language, Msg::kPictureUnreadable, {path}));
        break;
      case PictureProblem::kNotJpeg:
        problems.push_back(Text(language, Msg::kPictureNotJpeg, {path}));
        break;
      case PictureProblem::kTooLarge: {
        std::error_code ec;
        problems.push_back(Text(language, Msg::kPictureTooLarge,
                                {path, std::to_string(std::filesystem::file_size(path, ec)),
                                 std::to_string(max_bytes)}));
        break;
      }
    }
  }
  return problems;
}

}  // namespace parley
