// The pictures and the SKN package of an MMS job: where they are read from and written to, and
// the checks that refuse a job before the gateway is contacted.
#ifndef PARLEY_SEND_JOB_PACKAGE_H_
#define PARLEY_SEND_JOB_PACKAGE_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "send/send_refusals.h"

namespace parley {

// Where MMS pictures are read from and the package is left: <module_dir>TempIMG/qx.SKN. A
// request's picture field starts with kImageMarker.
inline constexpr std::string_view kImageFolder = "TempIMG";
inline constexpr std::string_view kPackageFileName = "qx.SKN";
inline constexpr std::string_view kImageMarker = "<IMG>";
// The most pictures one job's package carries; further names are ignored.
inline constexpr size_t kMaxJobPictures = 3;

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

// The SKN package of one MMS job and the type code of its items ("TXT", "IMT", ...), or why the
// job must not be sent (bytes and type code empty then).
struct JobPackage {
  std::string bytes;
  std::string type_code;
  SendRefusal refusal = SendRefusal::kNone;
};

// For an MMS (mms true), the package of BuildJobPackage; for an SMS no package.
JobPackage OrderPackage(bool mms, const std::string& module_dir, std::string_view title,
                        std::string_view text, const std::vector<std::string>& names);

// Builds the package of an MMS job: the subject `title`, the text and the pictures `names` (read
// with ReadJobPictures, whose refusal it returns). The package is also written to
// <module_dir>TempIMG/qx.SKN; a failed write is logged, and the returned bytes are what the job
// sends.
JobPackage BuildJobPackage(const std::string& module_dir, std::string_view title,
                           std::string_view text, const std::vector<std::string>& names);

}  // namespace parley

#endif  // PARLEY_SEND_JOB_PACKAGE_H_
