#include "sandbox/sample_data.h"

#include <array>
#include <cstdio>

namespace parley::sandbox {
namespace {

constexpr std::array<const char*, 10> kFamilyNames = {"김", "이", "박", "최", "정",
                                                      "강", "조", "윤", "장", "임"};
constexpr std::array<const char*, 12> kGivenNames = {
    "민준", "서연", "도윤", "하은", "시우", "지우", "예준", "수아", "주원", "지호", "서준", "하린"};
constexpr std::array<const char*, 4> kGrades = {"VIP", "골드", "실버", "일반"};
constexpr std::array<const char*, 4> kPhrases = {"봄맞이 10% 할인", "적립금 3,000원 지급",
                                                 "무료배송 쿠폰", "신상품 <추천> 안내"};

std::string Name(int i) {
  return std::string(kFamilyNames[static_cast<size_t>(i) % kFamilyNames.size()]) +
         kGivenNames[static_cast<size_t>(i / 10) % kGivenNames.size()];
}

// 010-FFFF-NNNN with the middle part `first` plus the thousands of i.
std::string Phone(int i, int first) {
  char text[16];
  std::snprintf(text, sizeof text, "010-%04d-%04d", (first + i / 10000) % 10000, i % 10000);
  return text;
}

}  // namespace

std::vector<Contact> SampleContacts(int count, int first) {
  std::vector<Contact> contacts;
  for (int i = 0; i < count; ++i) contacts.push_back({Name(i), Phone(i, first)});
  return contacts;
}

std::string ContactsCsv(const std::vector<Contact>& contacts) {
  std::string csv;
  for (const Contact& c : contacts) csv += c.name + "," + c.phone + "\n";
  return csv;
}

SheetData RecipientSheet(int rows) {
  SheetData sheet;
  sheet.name = "수신자";
  sheet.rows.push_back({WorkbookValue(std::string("이름")), WorkbookValue(std::string("전화")),
                        WorkbookValue(std::string("등급")), WorkbookValue(std::string("문구"))});
  for (int i = 0; i < rows; ++i) {
    const std::string phone = Phone(i, 3000);
    std::optional<WorkbookValue> phone_cell;
    if (i % 2 == 0) {
      // 010-3000-0001 as the number 1030000001.
      std::string digits;
      for (char c : phone) {
        if (c != '-') digits += c;
      }
      phone_cell = WorkbookValue(std::stod(digits));
    } else {
      phone_cell = WorkbookValue(phone);
    }
    sheet.rows.push_back(
        {WorkbookValue(Name(i)), phone_cell,
         WorkbookValue(std::string(kGrades[static_cast<size_t>(i) % kGrades.size()])),
         WorkbookValue(std::string(kPhrases[static_cast<size_t>(i) % kPhrases.size()]))});
  }
  return sheet;
}

std::string TinyJpeg() {
  std::string jpeg = "\xFF\xD8";  // start of image
  // One quantisation table, every step 1.
  jpeg += std::string("\xFF\xDB\x00\x43\x00", 5) + std::string(64, '\x01');
  // Baseline frame: 8 bits, 1 x 1 pixel, one component sampled 1x1 with table 0.
  jpeg += std::string("\xFF\xC0\x00\x0B\x08\x00\x01\x00\x01\x01\x01\x11\x00", 13);
  // DC and AC Huffman tables, each one code of length 1 for the symbol 0.
  for (char table_class : {'\x00', '\x10'}) {
    jpeg +=
        std::string("\xFF\xC4\x00\x14", 4) + table_class + '\x01' + std::string(15, '\0') + '\0';
  }
  // Scan of the one component; its data: DC difference 0, end of block, padded with ones.
  jpeg += std::string("\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00", 10);
  jpeg += "\x3F\xFF\xD9";
  return jpeg;
}

}  // namespace parley::sandbox
