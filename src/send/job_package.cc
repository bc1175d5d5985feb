#include "send/job_package.h"

#include <filesystem>

#include <spdlog/spdlog.h>

#include "send/picture_file.h"
#include "send/skn_builder.h"
#include "text/cp949.h"

namespace parley {

bool IsPlainFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\\') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

SendRefusal ReadJobPictures(const std::string& module_dir, const std::vector<std::string>& names,
                            std::vector<JobPicture>* pictures) {
  pictures->clear();
  const std::filesystem::path folder = std::filesystem::path(module_dir) / kImageFolder;
  int named = 0;
  for (const std::string& name : names) {
    if (name.empty()) continue;
    ++named;
    if (!IsPlainFileName(name)) {
      spdlog::warn("picture name {} left out: not a plain file name", AnsiToUtf8(name));
      continue;
    }
    const std::filesystem::path file = folder / AnsiToUtf8(name);
    PictureFile picture = ReadPictureFile(file);
    if (picture.status == PictureStatus::kTooLarge) {
      spdlog::warn("MMS refused: picture {} is over {} bytes", file.string(), kMaxPictureBytes);
      pictures->clear();
      return SendRefusal::kPictureTooLarge;
    }
    if (picture.status != PictureStatus::kOk) {
      spdlog::warn("picture {} left out: {}", file.string(), PictureStatusText(picture.status));
      continue;
    }
    pictures->push_back({name, std::make_shared<const std::string>(std::move(picture.bytes))});
  }
  if (named > 0 && pictures->empty()) {
    spdlog::warn("MMS refused: none of its {} pictures can be read", named);
    return SendRefusal::kPicturesMissing;
  }
  return SendRefusal::kNone;
}

JobPackage BuildJobPackage(const std::string& module_dir, std::string_view title,
                           std::string_view text, const std::vector<std::string>& names) {
  JobPackage package;
  std::vector<JobPicture> read;
  package.refusal = ReadJobPictures(module_dir, names, &read);
  if (package.refusal != SendRefusal::kNone) return package;

  const std::filesystem::path folder = std::filesystem::path(module_dir) / kImageFolder;
  CSKNBuilder builder;
  builder.SetSubject(title);
  builder.AddItem("TXT", "", text);
  for (const JobPicture& picture : read) {
    if (!builder.AddFileBytes("IMG", picture.name, picture.bytes)) {
      spdlog::warn("picture {} left out: does not fit the package", AnsiToUtf8(picture.name));
    }
  }
  package.bytes = builder.BuildPackage();
  if (!builder.WritePackage(folder / kPackageFileName)) {
    spdlog::warn("package {} not written", (folder / kPackageFileName).string());
  }
  package.type_code = builder.TypeCode();
  return package;
}

JobPackage OrderPackage(bool mms, const std::string& module_dir, std::string_view title,
                        std::string_view text, const std::vector<std::string>& names) {
  return mms ? BuildJobPackage(module_dir, title, text, names) : JobPackage();
}

}  // namespace parley
