#include "ui/ui_server.h"

#include <httplib.h>

#include <stdlib.h>

#include <cctype>
#include <fstream>
#include <sstream>

#include "ui/book_api.h"
#include "ui/journal_api.h"
#include "ui/page_http_server.h"
#include "ui/rules_api.h"
#include "ui/ui_api.h"
#include "ui/ui_guard.h"
#include "ui/ui_link.h"

namespace parley {
namespace {

using Handled = httplib::Server::HandlerResponse;

// The files of the page: the only paths served from the folder.
struct PageFile {
  const char* path;
  const char* file;
  const char* type;
};
constexpr PageFile kPageFiles[] = {
    {"/", "index.html", "text/html; charset=utf-8"},
    {"/app.js", "app.js", "text/javascript; charset=utf-8"},
    {"/style.css", "style.css", "text/css; charset=utf-8"},
};

void Refuse(httplib::Response& res, int status, const char* why) {
  res.status = status;
  res.set_content(std::string(why) + "\n", "text/plain; charset=utf-8");
}

// The language of a call: English when the page asks for it, else Korean.
Language LanguageOf(const httplib::Request& req) {
  return req.get_header_value("X-Parley-Lang") == "en" ? Language::kEnglish : Language::kKorean;
}

// A call's fields: those of a multipart form (FormData) that are no files, else those of the
// query.
ApiFields FieldsOf(const httplib::Request& req) {
  ApiFields fields;
  for (const auto& [name, part] : req.files) {
    if (part.filename.empty()) fields[name] = part.content;
  }
  for (const auto& [name, value] : req.params) fields.emplace(name, value);
  return fields;
}

void Answer(httplib::Response& res, const ApiReply& reply) {
  res.status = reply.status;
  res.set_content(reply.json, "application/json; charset=utf-8");
}

// A file for the browser to save under name (ASCII letters, digits, '-', '_' and '.' only).
void Attach(httplib::Response& res, const std::string& name, const std::string& bytes,
            const std::string& type) {
  res.set_header("Content-Disposition", "attachment; filename=\"" + name + "\"");
  res.set_content(bytes, type);
}

}  // namespace

UiServer::UiServer(UiLink& link, UiServerOptions options)
    : link_(link), options_(std::move(options)), server_(std::make_unique<PageHttpServer>()) {
  std::string folder = (std::filesystem::temp_directory_path() / "parley-ui-XXXXXX").string();
  if (::mkdtemp(folder.data()) != nullptr) uploads_ = folder;  // mode 0700
}

UiServer::~UiServer() {
  std::error_code ignored;
  if (!uploads_.empty()) std::filesystem::remove_all(uploads_, ignored);
}

std::vector<std::string> UiServer::SaveFiles(const void* request, const std::string& field) {
  const auto& req = *static_cast<const httplib::Request*>(request);
  std::vector<std::string> paths;
  const auto [first, last] = req.files.equal_range(field);
  if (first == last || uploads_.empty()) return paths;
  std::string folder = (uploads_ / "send-XXXXXX").string();
  if (::mkdtemp(folder.data()) == nullptr) return paths;
  for (auto it = first; it != last; ++it) {
    if (it->second.filename.empty()) continue;
    // A file keeps its name (a picture's is carried in the package), made safe for a file name.
    std::string name = std::filesystem::path(it->second.filename).filename().string();
    for (char& c : name) {
      if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_') c = '_';
    }
    if (name.empty() || name.front() == '.') name = field + name;
    const std::filesystem::path path = std::filesystem::path(folder) / name;
    std::ofstream out(path, std::ios::binary);
    out << it->second.content;
    if (out) paths.push_back(path.string());
  }
  return paths;
}

int UiServer::Bind(int port) {
  std::vector<std::string> addresses;
  if (!options_.address.empty()) {
    addresses.push_back(options_.address);
  } else {
    // A system that routes only 127.0.0.1 to itself gets the page there.
    for (int i = 0; i < 4; ++i) {
      if (const auto address = RandomLoopbackAddress()) addresses.push_back(*address);
    }
    addresses.push_back("127.0.0.1");
  }
  for (const std::string& address : addresses) {
    const int bound = port == 0 ? server_->bind_to_any_port(address)
                                : (server_->bind_to_port(address, port) ? port : -1);
    if (bound <= 0) continue;
    address_ = address;
    port_ = static_cast<uint16_t>(bound);
    Install();
    return bound;
  }
  return 0;
}

std::string UiServer::NewAddressToOpen() {
  const std::optional<std::string> token = door_.IssueToken();
  if (!token) return {};
  return "http://" + address_ + ":" + std::to_string(port_) + "/?token=" + *token;
}

void UiServer::Run() { server_->listen_after_bind(); }

void UiServer::Stop() { server_->stop(); }

void UiServer::Install() {
  httplib::Server& s = *server_;
  s.set_payload_max_length(options_.max_request_bytes);
  // A read may wait 5 s for its next bytes, an idle connection 5 s for its next request; the
  // whole request has PageHttpServer::kRequestReadTime.
  s.set_read_timeout(5, 0);
  s.set_keep_alive_timeout(5);
  s.set_default_headers({{"Content-Security-Policy", kContentSecurityPolicy},
                         {"X-Content-Type-Options", "nosniff"},
                         {"Referrer-Policy", "no-referrer"},
                         {"Cache-Control", "no-store"},
                         {"X-Frame-Options", "DENY"}});
  s.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    if (!HostAllowed(req.get_header_value("Host"), address_, port_)) {
      Refuse(res, 403, "forbidden: this server answers its own address only");
      return Handled::Handled;
    }
    // An address to open: its token is spent for a session of its own.
    if (req.method == "GET" && req.path == "/" && req.has_param("token")) {
      const std::optional<std::string> session = door_.Redeem(req.get_param_value("token"));
      if (!session) {
        Refuse(res, 403,
               "forbidden: this address has been opened already (each opens the page once); "
               "start Parley again for a new one");
        return Handled::Handled;
      }
      res.set_header("Set-Cookie", SessionCookie(*session));
      res.set_redirect("/", 303);
      return Handled::Handled;
    }
    if (!door_.Admits(CookieValue(req.get_header_value("Cookie"), kUiCookieName))) {
      Refuse(res, 403, "forbidden: open the address parley-ui printed");
      return Handled::Handled;
    }
    PageHttpServer::AdmitCurrentConnection();
    if (req.method != "GET" && !OriginAllowed(req.get_header_value("Origin"), address_, port_)) {
      Refuse(res, 403, "forbidden: a request from another site");
      return Handled::Handled;
    }
    return Handled::Unhandled;
  });

  for (const PageFile& page : kPageFiles) {
    s.Get(page.path, [this, page](const httplib::Request&, httplib::Response& res) {
      std::ifstream in(options_.static_dir / page.file, std::ios::binary);
      if (!in) return Refuse(res, 404, "not found");
      std::ostringstream content;
      content << in.rdbuf();
      res.set_content(content.str(), page.type);
    });
  }

  auto api = std::make_shared<UiApi>(link_);
  s.Get("/api/state", [api](const httplib::Request& req, httplib::Response& res) {
    Answer(res, api->State(LanguageOf(req)));
  });
  s.Get("/api/saved-id",
        [api](const httplib::Request&, httplib::Response& res) { Answer(res, api->SavedId()); });
  auto journal = std::make_shared<JournalApi>(link_, uploads_);
  s.Get("/api/jobs", [journal](const httplib::Request&, httplib::Response& res) {
    Answer(res, journal->Jobs());
  });
  s.Get("/api/jobs/recipients", [journal](const httplib::Request& req, httplib::Response& res) {
    Answer(res, journal->Recipients(FieldsOf(req)));
  });
  s.Get("/api/jobs/export", [journal](const httplib::Request& req, httplib::Response& res) {
    ApiReply refused;
    const auto file = journal->Export(FieldsOf(req), &refused);
    if (!file) return Answer(res, refused);
    Attach(res, file->name, file->bytes, file->type);
  });
  s.Post("/api/jobs/resend", [journal](const httplib::Request& req, httplib::Response& res) {
    Answer(res, journal->Resend(FieldsOf(req)));
  });
  auto rules = std::make_shared<RulesApi>(link_);
  s.Get("/api/settings", [rules](const httplib::Request&, httplib::Response& res) {
    Answer(res, rules->Settings());
  });
  s.Get("/api/optout", [rules](const httplib::Request&, httplib::Response& res) {
    Answer(res, rules->OptOuts());
  });
  const std::pair<const char*, ApiReply (RulesApi::*)(const ApiFields&)> rules_calls[] = {
      {"/api/settings/set", &RulesApi::SetSetting},
      {"/api/callbacks/add", &RulesApi::AddCallbacks},
      {"/api/callbacks/remove", &RulesApi::RemoveCallbacks},
      {"/api/optout/add", &RulesApi::AddOptOuts},
      {"/api/optout/remove", &RulesApi::RemoveOptOuts},
  };
  for (const auto& [path, call] : rules_calls) {
    s.Post(path, [rules, call = call](const httplib::Request& req, httplib::Response& res) {
      Answer(res, ((*rules).*call)(FieldsOf(req)));
    });
  }
  s.Post("/api/optout/import", [this, rules](const httplib::Request& req, httplib::Response& res) {
    const std::vector<std::string> files = SaveFiles(&req, "file");
    if (files.size() != 1) return Answer(res, RefusedCode("file", 400));
    Answer(res, rules->ImportOptOuts(files[0]));
  });
  s.Get("/api/optout/export", [rules](const httplib::Request&, httplib::Response& res) {
    ApiReply refused;
    const auto csv = rules->ExportOptOuts(&refused);
    if (!csv) return Answer(res, refused);
    Attach(res, "optout.csv", *csv, "text/csv; charset=utf-8");
  });
  auto book = std::make_shared<BookApi>(link_);
  s.Get("/api/book",
        [book](const httplib::Request&, httplib::Response& res) { Answer(res, book->Groups()); });
  s.Get("/api/book/members", [book](const httplib::Request& req, httplib::Response& res) {
    Answer(res, book->Members(FieldsOf(req)));
  });
  const std::pair<const char*, ApiReply (BookApi::*)(const ApiFields&)> book_calls[] = {
      {"/api/book/group/add", &BookApi::AddGroup},
      {"/api/book/group/remove", &BookApi::RemoveGroup},
      {"/api/book/contact/add", &BookApi::AddContact},
      {"/api/book/contact/update", &BookApi::UpdateContact},
      {"/api/book/contact/move", &BookApi::MoveContact},
      {"/api/book/contact/remove", &BookApi::RemoveContact},
  };
  for (const auto& [path, call] : book_calls) {
    s.Post(path, [book, call = call](const httplib::Request& req, httplib::Response& res) {
      Answer(res, ((*book).*call)(FieldsOf(req)));
    });
  }
  s.Post("/api/book/import", [this, book](const httplib::Request& req, httplib::Response& res) {
    const std::vector<std::string> files = SaveFiles(&req, "file");
    if (files.size() != 1) return Answer(res, RefusedCode("file", 400));
    Answer(res, book->Import(FieldsOf(req), files[0]));
  });
  s.Get("/api/book/export", [book](const httplib::Request& req, httplib::Response& res) {
    ApiReply refused;
    const auto csv = book->Export(FieldsOf(req), &refused);
    if (!csv) return Answer(res, refused);
    Attach(res, "contacts.csv", *csv, "text/csv; charset=utf-8");
  });
  s.Post("/api/login", [api](const httplib::Request& req, httplib::Response& res) {
    Answer(res, api->Login(FieldsOf(req), LanguageOf(req)));
  });
  s.Post("/api/logout",
         [api](const httplib::Request&, httplib::Response& res) { Answer(res, api->Logout()); });
  s.Post("/api/check", [api](const httplib::Request& req, httplib::Response& res) {
    Answer(res, api->Check(FieldsOf(req), LanguageOf(req)));
  });
  s.Post("/api/ad-text", [api](const httplib::Request& req, httplib::Response& res) {
    Answer(res, api->AdvertisingText(FieldsOf(req)));
  });
  s.Post("/api/compose", [api](const httplib::Request& req, httplib::Response& res) {
    Answer(res, api->Compose(FieldsOf(req), LanguageOf(req)));
  });
  s.Post("/api/send", [this, api](const httplib::Request& req, httplib::Response& res) {
    Answer(res, api->Send(FieldsOf(req), SaveFiles(&req, "pictures"), LanguageOf(req)));
  });
  s.Post("/api/workbook", [this, api](const httplib::Request& req, httplib::Response& res) {
    const std::vector<std::string> files = SaveFiles(&req, "workbook");
    if (files.size() != 1) return Answer(res, RefusedCode("file", 400));
    Answer(res, api->WorkbookSheets(files[0]));
  });
  s.Post("/api/workbook/count", [api](const httplib::Request& req, httplib::Response& res) {
    Answer(res, api->WorkbookCount(FieldsOf(req)));
  });
  s.Post("/api/workbook/preview", [api](const httplib::Request& req, httplib::Response& res) {
    Answer(res, api->WorkbookPreview(FieldsOf(req), LanguageOf(req)));
  });
  s.Post("/api/workbook/check", [api](const httplib::Request& req, httplib::Response& res) {
    Answer(res, api->WorkbookCheck(FieldsOf(req), LanguageOf(req)));
  });
  s.Post("/api/workbook/width", [api](const httplib::Request& req, httplib::Response& res) {
    Answer(res, api->ColumnWidth(FieldsOf(req), LanguageOf(req)));
  });
  // The pictures as they are chosen, judged from their bytes; nothing is kept.
  s.Post("/api/pictures/check", [](const httplib::Request& req, httplib::Response& res) {
    std::vector<UiApi::PictureFile> files;
    const auto [first, last] = req.files.equal_range("pictures");
    for (auto it = first; it != last; ++it) {
      if (it->second.filename.empty()) continue;
      files.push_back(
          {std::filesystem::path(it->second.filename).filename().string(), it->second.content});
    }
    Answer(res, UiApi::JudgePictures(files));
  });
  s.Post("/api/workbook/send", [this, api](const httplib::Request& req, httplib::Response& res) {
    Answer(res, api->WorkbookSend(FieldsOf(req), SaveFiles(&req, "pictures"), LanguageOf(req)));
  });
  s.Get("/api/saved", [api](const httplib::Request& req, httplib::Response& res) {
    Answer(res, api->SavedMessages(FieldsOf(req)));
  });
  s.Get("/api/catalogue", [api](const httplib::Request& req, httplib::Response& res) {
    Answer(res, api->Catalogue(FieldsOf(req)));
  });
  s.Post("/api/save", [api](const httplib::Request& req, httplib::Response& res) {
    Answer(res, api->SaveMessage(FieldsOf(req)));
  });
  s.Get("/api/recent", [api](const httplib::Request&, httplib::Response& res) {
    Answer(res, api->RecentNumbers());
  });
  s.Get("/api/groups",
        [api](const httplib::Request&, httplib::Response& res) { Answer(res, api->Groups()); });
  s.Get("/api/results", [api](const httplib::Request& req, httplib::Response& res) {
    Answer(res, api->Results(FieldsOf(req), LanguageOf(req)));
  });
  s.Get("/api/stats", [api](const httplib::Request& req, httplib::Response& res) {
    Answer(res, api->Stats(FieldsOf(req), LanguageOf(req)));
  });
  s.Post("/api/cancel",
         [api](const httplib::Request&, httplib::Response& res) { Answer(res, api->Cancel()); });
  s.Post("/api/quit", [this, api](const httplib::Request&, httplib::Response& res) {
    Answer(res, api->Quit());
    quit_requested_ = true;
  });
}

}  // namespace parley
