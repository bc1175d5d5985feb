#include "qx/book_command.h"

#include <filesystem>
#include <fstream>
#include <ostream>

namespace parley {
namespace {

// Runs options.action on the open file; false with *error set when it fails.
bool RunBookAction(const BookOptions& options, BookFile& file, std::ostream& out, std::ostream& err,
                   std::string* error) {
  if (options.action == "groups") {
    std::vector<BookGroup> groups;
    if (!file.Groups(&groups, error)) return false;
    for (const BookGroup& g : groups) {
      out << g.name << '\t' << g.addrnum << '\t' << g.lev << '\t' << g.orgseq << '\n';
    }
    return true;
  }
  if (options.action == "add-group") return file.AddGroup(options.group, error);
  if (options.action == "remove-group") return file.RemoveGroup(options.group, error);
  if (options.action == "export") return file.Export(options.group, out, error);
  if (options.action != "import") {
    *error = "unknown action " + options.action;
    return false;
  }
  const std::string extension = std::filesystem::path(options.csv).extension().string();
  int added = 0;
  if (extension != ".csv" && extension != ".CSV" && extension != ".txt") {
    if (!file.ImportWorkbook(options.group, options.csv, &added, error, &err)) return false;
  } else {
    std::ifstream in(options.csv, std::ios::binary);
    if (!in) {
      *error = "cannot read " + options.csv;
      return false;
    }
    if (!file.Import(options.group, in, &added, error, &err)) return false;
  }
  out << added << " contacts added to " << options.group << "\n";
  return true;
}

}  // namespace

int RunBookCommand(const BookOptions& options, std::ostream& out, std::ostream& err) {
  // Only add-group and import create a missing file. A file created here is said so: the engine
  // reads the book in its own working directory.
  const bool create = options.action == "add-group" || options.action == "import";
  BookFile file;
  std::string error;
  std::error_code ec;
  const bool existed = std::filesystem::exists(options.file, ec);
  if (!file.Open(options.file, &error, create) || !RunBookAction(options, file, out, err, &error)) {
    err << "qx book: " << error << "\n";
    return 1;
  }
  if (!existed) {
    std::error_code abs_ec;
    err << "qx book: "
        << Text(options.language, Msg::kBookCreated,
                {std::filesystem::absolute(options.file, abs_ec).string()})
        << "\n";
  }
  return 0;
}

}  // namespace parley
