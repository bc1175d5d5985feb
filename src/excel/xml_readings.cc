#include "excel/xml_readings.h"

#include <expat.h>

#include <vector>

#include "excel/xml_scanner.h"

namespace parley {
namespace {

// Writes the events as one line each, text pieces joined, so two readings compare as strings.
class EventLog : public XmlHandler {
 public:
  bool StartElement(std::string_view name, XmlAttributes attributes) override {
    Flush();
    log += "<" + std::string(name);
    for (const XmlAttribute& a : attributes) {
      log += " " + std::string(a.name) + "=[" + std::string(a.value) + "]";
    }
    log += ">\n";
    return true;
  }
  bool EndElement(std::string_view name) override {
    Flush();
    log += "</" + std::string(name) + ">\n";
    return true;
  }
  bool Text(std::string_view piece) override {
    text += piece;
    return true;
  }
  void Flush() {
    if (!text.empty()) log += "text[" + text + "]\n";
    text.clear();
  }
  std::string log;
  std::string text;
};

}  // namespace

// The scanner's reading of doc fed in pieces of `piece` bytes (all at once for 0); "error" for a
// failure.
std::string ScannerReading(std::string_view doc, size_t piece) {
  EventLog log;
  XmlScanner scanner(log, 256, 1 << 20);
  XmlScanner::Status status = XmlScanner::Status::kOk;
  const size_t step = piece == 0 ? doc.size() + 1 : piece;
  for (size_t at = 0; status == XmlScanner::Status::kOk && at < doc.size(); at += step) {
    status = scanner.Feed(doc.substr(at, step), false);
  }
  if (status == XmlScanner::Status::kOk) status = scanner.Feed({}, true);
  if (status == XmlScanner::Status::kUnsupported) return "unsupported";
  if (status != XmlScanner::Status::kOk) return "error";
  log.Flush();
  return log.log;
}

// The general parser's reading, as the reader configures it (UTF-8 forced, no namespaces).
std::string ExpatReading(std::string_view doc) {
  EventLog log;
  XML_Parser parser = XML_ParserCreate("UTF-8");
  XML_SetUserData(parser, &log);
  XML_SetElementHandler(
      parser,
      [](void* data, const XML_Char* name, const XML_Char** attributes) {
        std::vector<XmlAttribute> list;
        for (; attributes[0] != nullptr; attributes += 2) {
          list.push_back({attributes[0], attributes[1]});
        }
        static_cast<EventLog*>(data)->StartElement(LocalName(name), list);
      },
      [](void* data, const XML_Char* name) {
        static_cast<EventLog*>(data)->EndElement(LocalName(name));
      });
  XML_SetCharacterDataHandler(parser, [](void* data, const XML_Char* text, int length) {
    static_cast<EventLog*>(data)->Text(std::string_view(text, static_cast<size_t>(length)));
  });
  const bool ok = XML_Parse(parser, doc.data(), static_cast<int>(doc.size()), 1) == XML_STATUS_OK;
  XML_ParserFree(parser);
  log.Flush();
  return ok ? log.log : "error";
}

}  // namespace parley
