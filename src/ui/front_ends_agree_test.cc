// qx and the page must not differ in any rule: one table of inputs (numbers, texts,
// reservations, callbacks, pictures, templates) goes through the qx program and through
// parley-ui's calls, and the verdicts must be the same: sent or refused, the numbers as they will
// go, the kind and bytes, and every refusal with its item.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "client/messages.h"
#include "ui/ui_server_fixture.h"

namespace parley {
namespace {

// A verdict reduced to what both front ends must agree on: "ok", the summary facts, or each
// refusal's place (the item's position on its line, for a typed number) and English words.
using Verdicts = std::multiset<std::string>;

class FrontEndsAgreeTest : public UiServerTest {
 protected:
  void SetUp() override {
    UiServerTest::SetUp();
    if (HasFatalFailure()) return;
    LogIn();
    // parley-ui holds its engine's link for its life: qx asks an engine of its own, against the
    // same simulators.
    qx_port_ = testing::FreePort();
    const std::filesystem::path home = dir_.path() / "qx-engine";
    std::filesystem::create_directories(home);
    qx_engine_ = std::make_unique<testing::ChildProcess>(
        testing::EngineBinary(),
        std::vector<std::string>{"--link-port", std::to_string(qx_port_), "--ui-program", "none",
                                 "--home", home.string(), "--web-base", web_.base_url(),
                                 "--web-port", std::to_string(web_.port()), "--gateway",
                                 "127.0.0.1:" + std::to_string(gate_.port())},
        home / "engine.log");
    ASSERT_TRUE(qx_engine_->WaitForLog("listening on", 10000)) << qx_engine_->Log();
    ASSERT_EQ(RunQx({"login", "qxuser", "qxpass"}, nullptr), 0);
  }

  // Runs qx in English against its engine (or the page's, with port); its output in *said.
  int RunQx(const std::vector<std::string>& args, std::string* said, uint16_t port = 0) {
    std::vector<std::string> all = {"LC_ALL=C", "QX_PORT=" + std::to_string(port ? port : qx_port_),
                                    testing::BuiltBinary("QX_BIN", "qx")};
    all.insert(all.end(), args.begin(), args.end());
    const std::filesystem::path log = dir_.path() / ("qx-" + std::to_string(++runs_) + ".log");
    testing::ChildProcess qx("/usr/bin/env", all, log);
    int status = -1;
    EXPECT_TRUE(qx.Wait(20000, &status));
    if (said != nullptr) *said = qx.Log();
    return status;
  }

  // qx's verdicts on its output: refusals are the lines after its "qx <command>: "; a typed
  // number's line names its --to value and place ("--to "..." item 2: ...").
  Verdicts QxVerdicts(int status, const std::string& said) {
    Verdicts verdicts;
    const std::regex refusal(R"(^qx [a-z ]+: (?:--to ".*?" (?:line (\d+) )?item (\d+): )?(.*)$)");
    const std::regex summary(R"(^(?:\d+ recipient\(s\): .*|(?:SMS|LMS|MMS), \d+ bytes .*)$)");
    std::istringstream lines(said);
    for (std::string line; std::getline(lines, line);) {
      line = Unprefixed(line);
      std::smatch m;
      if (std::regex_match(line, m, refusal)) {
        verdicts.insert(Place(m[1].matched ? m[1].str() : "1", m[2]) + m[3].str());
      } else if (std::regex_match(line, summary)) {
        verdicts.insert(line);
      }
    }
    if (status == 0) verdicts.insert("ok");
    return verdicts;
  }

  // The page's verdicts on a compose answer: ok, the recipients and the kind as qx words them,
  // and each problem's English words.
  static Verdicts PageVerdicts(const std::string& body) {
    Verdicts verdicts;
    const std::regex problem(
        R"re(\{"code":"[a-z-]+","field":"([a-z_]*)","item":"(?:[^"\\]|\\.)*","line":(\d+),"position":(\d+),"text":\{"ko":"(?:[^"\\]|\\.)*","en":"((?:[^"\\]|\\.)*)"\})re");
    for (std::sregex_iterator it(body.begin(), body.end(), problem), end; it != end; ++it) {
      const std::smatch& m = *it;
      verdicts.insert((m[1] == "to" ? Place(m[2], m[3]) : "") + Unescaped(m[4]));
    }
    std::smatch m;
    if (body.find("\"ok\":true") != std::string::npos) {
      verdicts.insert("ok");
      if (std::regex_search(body, m, std::regex(R"re("recipients":\[([^\]]*)\])re")) &&
          m[1].length() > 0) {
        std::string numbers = m[1];
        numbers.erase(std::remove(numbers.begin(), numbers.end(), '"'), numbers.end());
        const size_t count = std::count(numbers.begin(), numbers.end(), ',') + 1;
        std::string listed;
        std::istringstream each(numbers);
        size_t shown = 0;
        for (std::string n; std::getline(each, n, ',') && shown < 10; ++shown) {
          listed += (listed.empty() ? "" : ", ") + n;
        }
        verdicts.insert(Text(Language::kEnglish, Msg::kRecipientsCount, {std::to_string(count)}) +
                        ": " + listed + (count > 10 ? ", ..." : ""));
      }
    }
    if (std::regex_search(body, m,
                          std::regex(R"re("bytes":(\d+),"kind":"(\w+)","limit":(\d+))re")) &&
        body.find("\"ok\":true") != std::string::npos) {
      verdicts.insert(
          Text(Language::kEnglish, Msg::kTextSummary, {m[2].str(), m[1].str(), m[3].str()}));
    }
    return verdicts;
  }

  // The page's verdicts on another answer: each problem's English words, "ok" without any.
  static Verdicts ProblemVerdicts(const std::string& body) {
    Verdicts verdicts;
    const std::regex problem(R"re("en":"((?:[^"\\]|\\.)*)")re");
    const size_t problems = body.find("\"problems\":");
    if (problems == std::string::npos) return verdicts;
    const std::string tail = body.substr(problems);
    for (std::sregex_iterator it(tail.begin(), tail.end(), problem), end; it != end; ++it) {
      verdicts.insert(Unescaped((*it)[1]));
    }
    if (verdicts.empty()) verdicts.insert("ok");
    return verdicts;
  }

  // The test's folder as the page names its files: by name only.
  std::string Unprefixed(std::string line) const {
    const std::string folder = dir_.path().string() + "/";
    for (size_t at; (at = line.find(folder)) != std::string::npos;) line.erase(at, folder.size());
    return line;
  }
  static std::string Place(const std::string& line, const std::string& position) {
    return position.empty() ? "" : "line " + line + " item " + position + ": ";
  }
  static std::string Unescaped(const std::string& json) {
    std::string out;
    for (size_t i = 0; i < json.size(); ++i) {
      if (json[i] == '\\' && i + 1 < json.size()) ++i;
      out += json[i];
    }
    return out;
  }

  std::string Write(const std::string& name, const std::string& content) {
    const std::filesystem::path path = dir_.path() / name;
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
  }

  uint16_t qx_port_ = 0;
  std::unique_ptr<testing::ChildProcess> qx_engine_;
  int runs_ = 0;
};

TEST_F(FrontEndsAgreeTest, TheSameSendGetsTheSameVerdicts) {
  struct Case {
    std::string to, text, callback, reserve;
  } cases[] = {
      {"010-1234-5678, +82 10 9876 5432\n010 1234 5678", "안녕하세요", "02-123-4567", ""},
      {"01012345678,홍길동;0101234\n02-123-4567,,", "안내", "1588-1234", ""},
      {"01012345678", std::string(91, 'a'), "", ""},
      {"01012345678", std::string(2001, 'a'), "", ""},
      {"01012345678", "웃음 😀 끝", "", ""},
      {"01012345678", "안내", "abc", ""},
      {"01012345678", "안내", "", "내일 9시"},
      {"01012345678", "안내", "", "2020-01-01 10:00"},
      {"01012345678", "안내", "", "2030-02-30 10:00"},
      {"01012345678", "안내", "", "2030-12-24 14:00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.to + " | " + c.text.substr(0, 20) + " | " + c.callback + " | " + c.reserve);
    std::vector<std::string> args = {"send", "--check", "--to", c.to, "--text", c.text};
    if (!c.callback.empty()) args.insert(args.end(), {"--callback", c.callback});
    if (!c.reserve.empty()) args.insert(args.end(), {"--reserve", c.reserve});
    std::string said;
    const int status = RunQx(args, &said);
    const auto page = Post("/api/compose", {{"to", c.to, "", ""},
                                            {"text", c.text, "", ""},
                                            {"callback", c.callback, "", ""},
                                            {"reserve", c.reserve, "", ""}});
    ASSERT_TRUE(page);
    const Verdicts page_verdicts = PageVerdicts(page->body);
    EXPECT_EQ(QxVerdicts(status, said), page_verdicts) << said << "\n" << page->body;
  }
}

TEST_F(FrontEndsAgreeTest, PicturesGetTheSameVerdicts) {
  const std::string jpeg = "\xFF\xD8\xFF\xE0" + std::string(1000, 'x');
  const std::string big = "\xFF\xD8\xFF\xE0" + std::string(310 * 1024, 'x');
  const std::string png = "\x89PNG\r\n\x1a\n" + std::string(100, 'x');
  struct Picture {
    std::string name, content;
  };
  const std::vector<std::vector<Picture>> cases = {
      {{"a.jpg", jpeg}},
      {{"a.jpg", jpeg}, {"shot.jpg", png}, {"big.jpg", big}},
      {{"a.jpg", jpeg}, {"b.jpg", jpeg}, {"c.jpg", jpeg}, {"d.jpg", jpeg}},
  };
  for (const auto& pictures : cases) {
    SCOPED_TRACE(pictures.size());
    std::vector<std::string> args = {"send", "--check", "--to", "01012345678", "--text", "사진"};
    httplib::MultipartFormDataItems files;
    for (const Picture& p : pictures) {
      args.insert(args.end(), {"--image", Write(p.name, p.content)});
      files.push_back({"pictures", p.content, p.name, "image/jpeg"});
    }
    std::string said;
    const int status = RunQx(args, &said);
    Verdicts qx_verdicts;
    for (const std::string& v : QxVerdicts(status, said)) {
      if (!v.starts_with("1 recipient") && !v.starts_with("MMS,")) qx_verdicts.insert(v);
    }
    const auto page = Post("/api/pictures/check", files);
    ASSERT_TRUE(page);
    EXPECT_EQ(qx_verdicts, ProblemVerdicts(page->body)) << said << "\n" << page->body;
  }
}

TEST_F(FrontEndsAgreeTest, TemplatesGetTheSameVerdicts) {
  const std::string book =
      Write("people.csv", "이름,전화\n김철수,01012345678\n남궁민수,01098765432\n");
  const auto upload = Post("/api/workbook", {{"workbook",
                                              "이름,전화\n김철수,01012345678\n"
                                              "남궁민수,01098765432\n",
                                              "people.csv", "text/csv"}});
  ASSERT_TRUE(upload);
  ASSERT_NE(upload->body.find("\"ok\":true"), std::string::npos) << upload->body;
  for (const std::string text : {"[이름:8]님 안녕하세요", "[이름:6]님 안녕하세요",
                                 "[이름]님 안녕하세요", "[고객명:8]님", "[금액:4]원"}) {
    SCOPED_TRACE(text);
    std::string said;
    RunQx({"excel", "preview", "people", "--file", book, "--phone", "전화", "--callback",
           "0212345678", "--text", text},
          &said);
    Verdicts qx_verdicts;
    std::istringstream lines(said);
    for (std::string line; std::getline(lines, line);) {
      if (line.starts_with("qx excel: ")) qx_verdicts.insert(line.substr(10));
    }
    if (qx_verdicts.empty()) qx_verdicts.insert("ok");
    const auto page = Post("/api/workbook/preview", {{"sheet", "people", "", ""},
                                                     {"phone", "전화", "", ""},
                                                     {"callback", "0212345678", "", ""},
                                                     {"text", text, "", ""}});
    ASSERT_TRUE(page);
    EXPECT_EQ(qx_verdicts, ProblemVerdicts(page->body)) << said << "\n" << page->body;
  }
}

// qx works while the page is open: the engine serves both, and the page sees what qx sent.
TEST_F(FrontEndsAgreeTest, QxWorksWhileThePageIsOpen) {
  std::string said;
  ASSERT_EQ(RunQx({"status"}, &said, link_port_), 0) << said;
  EXPECT_NE(said.find("qxuser"), std::string::npos) << said;
  ASSERT_EQ(RunQx({"send", "--yes", "--to", "01011112222,01033334444", "--callback", "0212345678",
                   "--text", "qx 옆에서"},
                  &said, link_port_),
            0)
      << said;
  const std::vector<testing::GateJob> jobs = gate_.WaitForJobs(1);
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].messages.size(), 2u);
  // The page, still connected, shows qx's job as the engine's last one.
  const auto state = Client().Get("/api/state", WithCookie({{"Origin", origin_}}));
  ASSERT_TRUE(state);
  EXPECT_NE(state->body.find("\"total\":2"), std::string::npos) << state->body;
  const auto page = Post("/api/compose", {{"to", "01012345678", "", ""}, {"text", "안내", "", ""}});
  ASSERT_TRUE(page);
  EXPECT_NE(page->body.find("\"ok\":true"), std::string::npos) << page->body;
}

}  // namespace
}  // namespace parley
