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

std::optional<Verdict> PictureVerdict(PictureProblem problem, const std::string& name,
                                      uint64_t size, size_t max_bytes) {
  switch (problem) {
    case PictureProblem::kNone:
      return std::nullopt;
    case PictureProblem::kUnreadable:
      return Verdict{Msg::kPictureUnreadable, {name}, kFieldPicture, name};
    case PictureProblem::kNotJpeg:
      return Verdict{Msg::kPictureNotJpeg, {name}, kFieldPicture, name};
    case PictureProblem::kTooLarge:
      return Verdict{Msg::kPictureTooLarge,
                     {name, std::to_string(size), std::to_string(max_bytes)},
                     kFieldPicture,
                     name};
  }
  return std::nullopt;
}

std::optional<Verdict> PictureCountVerdict(size_t count) {
  if (count <= kMaxPictures) return std::nullopt;
  return Verdict{
      Msg::kPictureTooMany, {std::to_string(count), std::to_string(kMaxPictures)}, kFieldPicture};
}

std::vector<Verdict> CheckPictures(const std::vector<std::string>& paths, size_t max_bytes) {
  std::vector<Verdict> problems;
  if (auto too_many = PictureCountVerdict(paths.size())) problems.push_back(std::move(*too_many));
  for (const std::string& path : paths) {
    std::error_code ec;
    const uint64_t size = std::filesystem::file_size(path, ec);
    if (auto v =
            PictureVerdict(JudgePictureFile(path, max_bytes), path, ec ? 0 : size, max_bytes)) {
      problems.push_back(std::move(*v));
    }
  }
  return problems;
}

}  // namespace parley
