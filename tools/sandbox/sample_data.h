// The sandbox's sample data: contacts for two address-book groups, a recipient sheet and a small
// picture. Text is UTF-8.
#ifndef PARLEY_SANDBOX_SAMPLE_DATA_H_
#define PARLEY_SANDBOX_SAMPLE_DATA_H_

#include <string>
#include <vector>

#include "excel/workbook_writer.h"

namespace parley::sandbox {

struct Contact {
  std::string name;
  std::string phone;
};

// `count` contacts with Korean names and distinct mobile numbers starting at 010-<first>-0000.
std::vector<Contact> SampleContacts(int count, int first);

// Contacts as CSV lines "name,phone", the form qx book import takes.
std::string ContactsCsv(const std::vector<Contact>& contacts);

// The recipient sheet "수신자": a heading row 이름, 전화, 등급, 문구 and `rows` rows. Phone numbers
// alternate between numeric cells (which lose the leading 0, as in spreadsheets) and text cells
// with hyphens; 문구 is a short per-row phrase for message templates.
SheetData RecipientSheet(int rows);

// A valid baseline JPEG of one grey pixel.
std::string TinyJpeg();

}  // namespace parley::sandbox

#endif  // PARLEY_SANDBOX_SAMPLE_DATA_H_
