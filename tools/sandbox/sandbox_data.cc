// parley-sandbox-data: writes the sandbox's sample files into a folder:
//   friends.csv, customers.csv   contacts for two address-book groups (qx book import)
//   recipients.xlsx              the recipient sheet "수신자" (a few hundred rows)
//   sample.jpg                   a small picture for the MMS send
//
//   parley-sandbox-data DIR [--rows N]
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "excel/workbook_writer.h"
#include "sandbox/sample_data.h"

namespace {

bool WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  out.close();
  if (!out) std::cerr << "parley-sandbox-data: cannot write " << path.string() << "\n";
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "parley-sandbox-data: write the sandbox's sample address book, workbook and picture."};
  std::string dir;
  int rows = 300;
  app.add_option("DIR", dir, "Folder to write into (created if missing)")->required();
  app.add_option("--rows", rows, "Rows of the recipient sheet")
      ->capture_default_str()
      ->check(CLI::Range(1, 100000));
  CLI11_PARSE(app, argc, argv);

  namespace sb = parley::sandbox;
  const std::filesystem::path folder(dir);
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (!WriteFile(folder / "friends.csv", sb::ContactsCsv(sb::SampleContacts(12, 1000))) ||
      !WriteFile(folder / "customers.csv", sb::ContactsCsv(sb::SampleContacts(40, 2000))) ||
      !WriteFile(folder / "sample.jpg", sb::TinyJpeg())) {
    return 1;
  }
  std::string error;
  if (!parley::WriteXlsx(folder / "recipients.xlsx", {sb::RecipientSheet(rows)},
                         parley::XlsxOptions{}, &error)) {
    std::cerr << "parley-sandbox-data: " << error << "\n";
    return 1;
  }
  return 0;
}
