#include "excel/zip_stream.h"

#include "excel/xml_scanner.h"

#include <expat.h>
#include <zip.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

namespace parley {

namespace {

std::string_view StripSlash(std::string_view name) {
  if (!name.empty() && name.front() == '/') name.remove_prefix(1);
  return name;
}

// The state shared with expat's callbacks during one parse.
struct ParseState {
  XML_Parser parser = nullptr;
  XmlHandler* handler = nullptr;
  int depth = 0;
  bool handler_stopped = false;
  bool too_deep = false;
  std::vector<XmlAttribute> attributes;  // of the element being started
};

void Stop(ParseState* state) { XML_StopParser(state->parser, XML_FALSE); }

// LocalName of a NUL-terminated name in one pass (element names arrive for every tag).
std::string_view LocalNameOf(const char* name) {
  const char* local = name;
  const char* p = name;
  for (; *p != '\0'; ++p) {
    if (*p == ':') local = p + 1;
  }
  return std::string_view(local, static_cast<size_t>(p - local));
}

void OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
  auto* state = static_cast<ParseState*>(data);
  if (++state->depth > ZipReader::kMaxXmlDepth) {
    state->too_deep = true;
    return Stop(state);
  }
  state->attributes.clear();
  for (; attributes[0] != nullptr; attributes += 2) {
    state->attributes.push_back({attributes[0], attributes[1]});
  }
  if (!state->handler->StartElement(LocalNameOf(name), state->attributes)) {
    state->handler_stopped = true;
    Stop(state);
  }
}

void OnEnd(void* data, const XML_Char* name) {
  auto* state = static_cast<ParseState*>(data);
  --state->depth;
  if (!state->handler->EndElement(LocalNameOf(name))) {
    state->handler_stopped = true;
    Stop(state);
  }
}

void OnText(void* data, const XML_Char* text, int length) {
  auto* state = static_cast<ParseState*>(data);
  if (!state->handler->Text(std::string_view(text, static_cast<size_t>(length)))) {
    state->handler_stopped = true;
    Stop(state);
  }
}

// The memory one parser holds. expat's allocation functions take no context, so the account of
// the parse running on this thread is reached through a thread-local pointer, set for the life of
// one parser (ParserMemoryScope).
struct ParserMemory {
  uint64_t used = 0;
  uint64_t limit = 0;
  bool refused = false;
};
thread_local ParserMemory* t_parser_memory = nullptr;

class ParserMemoryScope {
 public:
  explicit ParserMemoryScope(ParserMemory* memory) : previous_(t_parser_memory) {
    t_parser_memory = memory;
  }
  ~ParserMemoryScope() { t_parser_memory = previous_; }
  ParserMemoryScope(const ParserMemoryScope&) = delete;
  ParserMemoryScope& operator=(const ParserMemoryScope&) = delete;

 private:
  ParserMemory* previous_;
};

// Each block starts with its size, padded to keep the caller's part aligned.
constexpr size_t kBlockHeader = alignof(std::max_align_t);

bool Allow(size_t old_size, size_t new_size) {
  ParserMemory* memory = t_parser_memory;
  if (memory == nullptr) return true;
  if (new_size > old_size && memory->used + (new_size - old_size) > memory->limit) {
    memory->refused = true;
    return false;
  }
  memory->used = memory->used + new_size - old_size;
  return true;
}

size_t BlockSize(void* block) {
  size_t size;
  std::memcpy(&size, static_cast<char*>(block) - kBlockHeader, sizeof size);
  return size;
}

void* CountedMalloc(size_t size) {
  if (size > SIZE_MAX - kBlockHeader || !Allow(0, size)) return nullptr;
  auto* raw = static_cast<char*>(std::malloc(kBlockHeader + size));
  if (raw == nullptr) {
    Allow(size, 0);
    return nullptr;
  }
  std::memcpy(raw, &size, sizeof size);
  return raw + kBlockHeader;
}

void CountedFree(void* block) {
  if (block == nullptr) return;
  Allow(BlockSize(block), 0);
  std::free(static_cast<char*>(block) - kBlockHeader);
}

void* CountedRealloc(void* block, size_t size) {
  if (block == nullptr) return CountedMalloc(size);
  const size_t old_size = BlockSize(block);
  if (size > SIZE_MAX - kBlockHeader || !Allow(old_size, size)) return nullptr;
  auto* raw = static_cast<char*>(
      std::realloc(static_cast<char*>(block) - kBlockHeader, kBlockHeader + size));
  if (raw == nullptr) {
    Allow(size, old_size);
    return nullptr;
  }
  std::memcpy(raw, &size, sizeof size);
  return raw + kBlockHeader;
}

const XML_Memory_Handling_Suite kCountedMemory = {CountedMalloc, CountedRealloc, CountedFree};

struct ParserCloser {
  void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};

}  // namespace

std::string_view LocalName(std::string_view name) {
  size_t colon = name.rfind(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

const std::string_view* FindAttribute(XmlAttributes attributes, std::string_view local) {
  for (const XmlAttribute& attribute : attributes) {
    if (LocalName(attribute.name) == local) return &attribute.value;
  }
  return nullptr;
}

ZipReader::~ZipReader() { zip_discard(archive_); }

std::unique_ptr<ZipReader> ZipReader::Open(const std::filesystem::path& path, LoadBudget& budget,
                                           std::string* error) {
  int code = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &code);
  if (archive == nullptr) {
    if (code == ZIP_ER_NOZIP || code == ZIP_ER_INCONS) {
      *error = "not a zip archive: " + path.string();
    } else {
      zip_error_t reason;
      zip_error_init_with_code(&reason, code);
      *error = "cannot open " + path.string() + ": " + zip_error_strerror(&reason);
      zip_error_fini(&reason);
    }
    return nullptr;
  }
  // Two entries of one part name (names compare without ASCII case, as parts are found) leave
  // it open which one is the part: readers differ, so the workbook is refused.
  std::unordered_set<std::string> names;
  const zip_int64_t entries = zip_get_num_entries(archive, 0);
  for (zip_int64_t i = 0; i < entries; ++i) {
    const char* raw = zip_get_name(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
    if (raw == nullptr) continue;
    std::string key(StripSlash(raw));
    for (char& c : key) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    if (!names.insert(std::move(key)).second) {
      *error = "the workbook holds two parts named " + std::string(StripSlash(raw)) +
               ": it is ambiguous which one to read";
      zip_discard(archive);
      return nullptr;
    }
  }
  return std::unique_ptr<ZipReader>(new ZipReader(archive, budget));
}

int64_t ZipReader::Locate(std::string_view name) const {
  std::string key(StripSlash(name));
  const int64_t exact = zip_name_locate(archive_, key.c_str(), 0);
  if (exact >= 0) return exact;
  // Package part names compare without regard to ASCII case: a relationship naming
  // "sharedStrings.xml" reaches the part stored as "SharedStrings.xml".
  return zip_name_locate(archive_, key.c_str(), ZIP_FL_NOCASE);
}

bool ZipReader::Contains(std::string_view name) const { return Locate(name) >= 0; }

bool ZipReader::ParseXml(std::string_view name, XmlHandler& handler, std::string* error) const {
  const std::string entry(StripSlash(name));
  bool unsupported = false;
  const bool ok = ScanXml(entry, handler, error, &unsupported);
  if (!unsupported) return ok;
  // A part with a document type declaration goes to the general parser, from its start; the
  // scanner has handed on nothing before the declaration.
  return ExpatXml(entry, handler, error);
}

std::unique_ptr<ZipEntryReader> ZipReader::OpenEntry(const std::string& entry,
                                                     std::string* error) const {
  int64_t index = Locate(entry);
  if (index < 0) {
    *error = "missing " + entry;
    return nullptr;
  }
  return ZipEntryReader::Open(archive_, static_cast<uint64_t>(index), entry, error);
}

int64_t ZipReader::ReadEntry(ZipEntryReader& file, void* buffer, std::string* error) const {
  const int64_t got = file.Read(buffer, kChunkBytes, error);
  if (got < 0) return -1;
  if (!budget_.ChargeRead(static_cast<uint64_t>(got))) {
    *error = budget_.reason();
    return -1;
  }
  return got;
}

bool ZipReader::OverMemory(uint64_t limit, const std::string& entry, std::string* error) const {
  budget_.Exceeded(SizeText(limit) + " of memory for one XML part (" + entry + ")");
  *error = budget_.reason();
  return false;
}

bool ZipReader::ScanXml(const std::string& entry, XmlHandler& handler, std::string* error,
                        bool* unsupported) const {
  auto file = OpenEntry(entry, error);
  if (!file) return false;
  const uint64_t limit = budget_.limits().xml_parser_bytes;
  XmlScanner scanner(handler, kMaxXmlDepth, static_cast<size_t>(limit));
  std::string buffer(kChunkBytes, '\0');
  for (;;) {
    const int64_t got = ReadEntry(*file, buffer.data(), error);
    if (got < 0) return false;
    const bool last = got == 0;
    switch (scanner.Feed(std::string_view(buffer.data(), static_cast<size_t>(got)), last)) {
      case XmlScanner::Status::kOk:
        if (last) return true;
        break;
      case XmlScanner::Status::kStopped:
        return false;
      case XmlScanner::Status::kUnsupported:
        *unsupported = true;
        return false;
      case XmlScanner::Status::kError:
        if (scanner.over_memory()) return OverMemory(limit, entry, error);
        *error = "bad XML in " + entry + " at line " + std::to_string(scanner.line()) + ": " +
                 scanner.error();
        return false;
    }
  }
}

bool ZipReader::ExpatXml(const std::string& entry, XmlHandler& handler, std::string* error) const {
  auto file = OpenEntry(entry, error);
  if (!file) return false;
  ParserMemory memory;
  memory.limit = budget_.limits().xml_parser_bytes;
  const ParserMemoryScope scope(&memory);
  std::unique_ptr<XML_ParserStruct, ParserCloser> parser(
      XML_ParserCreate_MM("UTF-8", &kCountedMemory, nullptr));
  if (!parser) {
    *error = "out of memory parsing " + entry;
    return false;
  }
  ParseState state;
  state.parser = parser.get();
  state.handler = &handler;
  XML_SetUserData(parser.get(), &state);
  XML_SetElementHandler(parser.get(), OnStart, OnEnd);
  XML_SetCharacterDataHandler(parser.get(), OnText);

  for (;;) {
    void* buffer = XML_GetBuffer(parser.get(), static_cast<int>(kChunkBytes));
    if (buffer == nullptr) {
      if (memory.refused) return OverMemory(memory.limit, entry, error);
      *error = "out of memory parsing " + entry;
      return false;
    }
    const int64_t got = ReadEntry(*file, buffer, error);
    if (got < 0) return false;
    const bool last = got == 0;
    if (XML_ParseBuffer(parser.get(), static_cast<int>(got), last) != XML_STATUS_OK) {
      if (state.handler_stopped) return false;
      if (memory.refused) return OverMemory(memory.limit, entry, error);
      const char* reason = state.too_deep ? "elements nested too deeply"
                                          : XML_ErrorString(XML_GetErrorCode(parser.get()));
      *error = "bad XML in " + entry + " at line " +
               std::to_string(XML_GetCurrentLineNumber(parser.get())) + ": " + reason;
      return false;
    }
    if (last) return true;
  }
}

}  // namespace parley
