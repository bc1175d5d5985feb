#include "websim/web_content.h"

#include <charconv>
#include <cstdio>
#include <ctime>

#include "text/cp949.h"

namespace parley::websim {
namespace {

// Texts of the first catalogue group, cycled with a running number to fill its pages.
constexpr std::string_view kGreetings[] = {
    "새해 복 많이 받으세요 (`^`)",   "Happy New Year! It&#39;s a brand new start",
    "올 한해도 건강하고 행복하세요", "새해에는 소망하시는 일 모두 이루세요",
    "희망찬 새해 아침입니다",
};

}  // namespace

std::string Ko(std::string_view utf8) { return Utf8ToAnsi(utf8); }

Account BuiltInAccount() { return Account{"qxuser", "qxpass", 10000, false}; }

std::optional<Account> ParseAccount(std::string_view text) {
  size_t first = text.find(':');
  if (first == std::string_view::npos) return std::nullopt;
  size_t second = text.find(':', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  Account account;
  account.id = std::string(text.substr(0, first));
  account.password = std::string(text.substr(first + 1, second - first - 1));
  std::string_view balance = text.substr(second + 1);
  if (account.id.empty() || account.password.empty() || balance.empty()) return std::nullopt;
  if (balance == "flat") {
    account.flat_rate = true;
    return account;
  }
  auto [end, ec] =
      std::from_chars(balance.data(), balance.data() + balance.size(), account.balance);
  if (ec != std::errc() || end != balance.data() + balance.size() || account.balance < 0) {
    return std::nullopt;
  }
  return account;
}

std::optional<int64_t> MessageCost(std::string_view type) {
  if (type == "SMS") return kSmsCost;
  if (type == "LMS") return kLmsCost;
  if (type == "MMS") return kMmsCost;
  return std::nullopt;
}

std::vector<CatalogueGroup> BuildCatalogue() {
  std::vector<CatalogueGroup> groups;
  CatalogueGroup greetings{"101", Ko("새해인사"), {}};
  for (int i = 0; i < 23; ++i) {
    std::string text = Ko(kGreetings[i % std::ssize(kGreetings)]);
    if (i >= std::ssize(kGreetings)) text += " (" + std::to_string(i + 1) + ")";
    greetings.texts.push_back(std::move(text));
  }
  groups.push_back(std::move(greetings));
  groups.push_back({"102",
                    Ko("생일축하"),
                    {Ko("생일 축하합니다! 행복한 하루 보내세요"), Ko("태어나 주셔서 감사합니다 ^^"),
                     Ko("즐거운 생일 되세요 *^^*"), Ko("오늘은 당신이 주인공입니다"),
                     Ko("생일 진심으로 축하드려요"), Ko("케이크 위 촛불처럼 빛나는 한 해 되세요"),
                     Ko("생일 선물 같은 하루 되세요"), Ko("Happy Birthday to you ~")}});
  groups.push_back({"103",
                    Ko("감사인사"),
                    {Ko("항상 감사드립니다"), Ko("도와주셔서 고맙습니다"),
                     Ko("베풀어 주신 은혜 잊지 않겠습니다"), Ko("늘 고마운 마음입니다"),
                     Ko("감사의 마음을 전합니다")}});
  groups.push_back(
      {"104",
       Ko("이모티콘"),
       {"(^_^)", "(*^^*)", "(T_T)", "(`_')", "d(^_^)b", "(>_<)", Ko("♥(^o^)♥"), Ko("☆(~.^)/")}});
  return groups;
}

std::vector<SentJob> SeedHistory(const std::string& account) {
  constexpr std::string_view kTypes[] = {"SMS", "SMS", "LMS", "SMS", "MMS"};
  std::vector<SentJob> jobs;
  for (int i = 0; i < 23; ++i) {
    SentJob job;
    job.seq = i + 1;
    char time[32];
    std::snprintf(time, sizeof time, "2024-03-%02d %02d:%02d:00", 1 + i, 9 + i % 9, (i * 7) % 60);
    job.time = time;
    job.account = account;
    job.jobid = std::to_string(240301000 + i * 17);
    job.type = std::string(kTypes[i % std::ssize(kTypes)]);
    job.count = 1 + i % 5;
    job.title = Ko("제목없음");
    job.msg = Ko("3월 안내 문자입니다 ") + std::to_string(i + 1);
    job.resflag = i == 20 ? "2" : "1";
    job.reserdate = i == 20 ? "202404010900" : "";
    job.fromnumber = "0212345678";
    job.result = std::string(i == 20 ? kResultWaiting : i == 7 ? kResultFailed : kResultDone);
    jobs.push_back(std::move(job));
  }
  return jobs;
}

std::vector<SavedMessage> SeedSavedMessages(const std::string& account) {
  std::vector<SavedMessage> saved;
  for (int i = 0; i < 15; ++i) {
    bool sms = i < 12;
    SavedMessage m;
    m.seq = i + 1;
    m.account = account;
    m.msgtype = sms ? "SMS" : "LMS";
    m.subject = Ko(sms ? "내 문자 " : "내 장문 ") + std::to_string(sms ? i + 1 : i - 11);
    m.msg = sms ? Ko("저장한 문자 내용 ") + std::to_string(i + 1)
                : Ko("저장한 장문 메시지입니다. 여러 줄로 된 긴 안내문을 담고 있습니다. ") +
                      std::to_string(i - 11);
    char time[32];
    std::snprintf(time, sizeof time, "2024-02-%02d 10:00:00", 1 + i);
    m.time = time;
    saved.push_back(std::move(m));
  }
  return saved;
}

std::string NowText() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

}  // namespace parley::websim
