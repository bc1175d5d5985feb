// The requests of the UI link that do not send: LOGIN, ENDQX, ADDRB, EXCEL, MYMSG, EMOTN, SENDL
// and CASHL. Each is parsed once from the body (CP949, fields separated by "<QX>"; a raw
// backtick separates fields too, a missing field is empty, numbers are read as C atoi reads
// them) and built back to the same bytes.
#ifndef PARLEY_PROTOCOL_QUERY_REQUESTS_H_
#define PARLEY_PROTOCOL_QUERY_REQUESTS_H_

#include <string>
#include <string_view>

namespace parley::protocol {

// LOGIN "id<QX>password[<QX>SAVE]". A body of fewer than kMinBody bytes asks for the saved id
// instead (an empty body when built).
struct LoginRequest {
  static constexpr size_t kMinBody = 7;
  static constexpr std::string_view kSavedIdBody = "";  // asks for the saved id
  std::string id;
  std::string password;
  bool save = false;  // field 2 is exactly "SAVE"

  static bool AsksSavedId(std::string_view body) { return body.size() < kMinBody; }
  static LoginRequest Parse(std::string_view body);
  std::string Build() const;
  bool operator==(const LoginRequest&) const = default;
};

// ENDQX: the body's number; 0 logs out, anything else ends the engine.
struct EndRequest {
  int value = 0;

  static EndRequest Parse(std::string_view body);
  std::string Build() const;
  bool operator==(const EndRequest&) const = default;
};

// ADDRB: field 0 selects (2 the groups, 3 the addresses of the group whose key is field 1,
// 4 the recent numbers).
struct AddressRequest {
  enum Kind { kGroups = 2, kAddresses = 3, kRecent = 4 };
  int kind = kGroups;
  std::string group_key;  // field 1; sent for kAddresses only

  static AddressRequest Parse(std::string_view body);
  std::string Build() const;
  bool operator==(const AddressRequest&) const = default;
};

// EXCEL: the sub-command is the body's first byte: '1' listing, '2' distinct count, anything
// else (also an empty body) a preview.
enum class ExcelQuery { kListing, kCount, kPreview };
ExcelQuery ExcelQueryOf(std::string_view body);

// EXCEL "1<QX>path".
struct ListingRequest {
  static constexpr size_t kPrefix = 5;  // "1<QX>"
  std::string path;                     // UTF-8: the bytes the UI program sent

  // The path is everything after the first five bytes of the body as sent (`sent`). Only when
  // those five are not plain ASCII (so they do not line up with the CP949 text) does the path
  // come back from the CP949 `text`.
  static ListingRequest Parse(std::string_view sent, std::string_view text);
  std::string Build() const;
  bool operator==(const ListingRequest&) const = default;
};

// EXCEL "2<QX>sheet<QX>column".
struct CountRequest {
  std::string sheet;
  std::string column;  // bracketed ("[a]") or bare

  static CountRequest Parse(std::string_view body);
  std::string Build() const;
  bool operator==(const CountRequest&) const = default;
};

// EXCEL "3<QX>sheet<QX>phone<QX>second<QX>message<QX>callback mode".
struct PreviewRequest {
  std::string sheet;
  std::string phone_column;  // "&comma;" as sent
  std::string second;
  std::string message;
  std::string callback_mode;

  bool CallbackColumn() const { return callback_mode.size() < 2; }
  static PreviewRequest Parse(std::string_view body);
  std::string Build() const;
  bool operator==(const PreviewRequest&) const = default;
};

// MYMSG "CNT|SMS|LMS<QX>page<QX>size". `kind` is field 0 compared exactly.
struct SavedMessagesRequest {
  std::string kind;
  std::string page;
  std::string page_size;

  // True when field 0 is exactly "CNT", "SMS" or "LMS".
  bool Known() const { return kind == "CNT" || kind == "SMS" || kind == "LMS"; }
  static SavedMessagesRequest Parse(std::string_view body);
  std::string Build() const;
  bool operator==(const SavedMessagesRequest&) const = default;
};

// MYMSG "SAVE<QX>text<QX>subject<QX>type".
struct SaveMessageRequest {
  static constexpr std::string_view kKind = "SAVE";
  std::string text;
  std::string subject;
  std::string type;

  // True when field 0 is exactly "SAVE" (read without splitting the body).
  static bool Matches(std::string_view body);
  static SaveMessageRequest Parse(std::string_view body);
  std::string Build() const;
  bool operator==(const SaveMessageRequest&) const = default;
};

// EMOTN "<FIRST>type<QX>page<QX>size": the first page of a catalogue type.
struct CatalogueFirstRequest {
  std::string type;
  std::string page;
  std::string page_size;

  // True when the body starts with "<FIRST>".
  static bool Matches(std::string_view body);
  static CatalogueFirstRequest Parse(std::string_view body);
  std::string Build() const;
  bool operator==(const CatalogueFirstRequest&) const = default;
};

// EMOTN "type<QX>group<QX>page<QX>size".
struct CataloguePageRequest {
  std::string type;
  std::string group;
  std::string page;
  std::string page_size;

  static CataloguePageRequest Parse(std::string_view body);
  std::string Build() const;
  bool operator==(const CataloguePageRequest&) const = default;
};

// SENDL "selector<QX>from<QX>to<QX>type<QX>result<QX>page<QX>size<QX>numflag<QX>phone".
struct SendResultsRequest {
  int selector = 1;
  std::string from;
  std::string to;
  std::string type;    // "NULL" counts as empty at the web service
  std::string result;  // likewise
  std::string page;
  std::string page_size;
  std::string number_flag;
  std::string phone;

  static SendResultsRequest Parse(std::string_view body);
  std::string Build() const;
  bool operator==(const SendResultsRequest&) const = default;
};

// CASHL "start year<QX>start month<QX>end year<QX>end month".
struct UsageRequest {
  std::string start_year;
  std::string start_month;
  std::string end_year;
  std::string end_month;

  static UsageRequest Parse(std::string_view body);
  std::string Build() const;
  bool operator==(const UsageRequest&) const = default;
};

}  // namespace parley::protocol

#endif  // PARLEY_PROTOCOL_QUERY_REQUESTS_H_
