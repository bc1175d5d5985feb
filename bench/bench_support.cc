#include "bench_support.h"

#include <sys/resource.h>

#include <string>

namespace parley {

SheetData MakeCustomerSheet(int64_t rows) {
  const char* family[] = {"김", "이", "박", "최", "정", "강", "조", "윤"};
  const char* given[] = {"민준", "서연", "도윤", "하은", "시우", "지유", "주원", "서윤"};
  SheetData sheet;
  sheet.name = "고객 목록";
  sheet.rows.reserve(static_cast<size_t>(rows) + 1);
  sheet.rows.push_back({std::string("name"), std::string("phone"), std::string("mobile"),
                        std::string("amount"), std::string("note")});
  for (int64_t i = 0; i < rows; ++i) {
    const std::string digits = std::to_string(100000000 + i % 100000000).substr(1);
    sheet.rows.push_back({std::string(family[i % 8]) + given[(i / 8) % 8] + std::to_string(i),
                          static_cast<double>(1000000000 + i),
                          "010-" + digits.substr(0, 4) + "-" + digits.substr(4),
                          static_cast<double>((i * 7919) % 1000000) / 100.0,
                          std::string("이번 달 주문 ") + std::to_string(i % 97) + "건"});
  }
  return sheet;
}

double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace parley
