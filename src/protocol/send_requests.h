// The send requests of the UI link: the send check (DSEND and ESEND mode 4), the direct send
// (DSEND 1/2/3), the group send (ASEND) and the sheet send (ESEND 1/2/3). Each is parsed once
// from the body (CP949, fields separated by "<QX>"; a raw backtick separates fields too, a
// missing field is empty, numbers are read as C atoi reads them) and built back to the same
// bytes. Field texts stay as sent: "&comma;", "&lt;" and the like are decoded by their users.
#ifndef PARLEY_PROTOCOL_SEND_REQUESTS_H_
#define PARLEY_PROTOCOL_SEND_REQUESTS_H_

#include <string>
#include <string_view>
#include <vector>

namespace parley::protocol {

// Field 0 of DSEND, ASEND and ESEND.
enum SendMode { kSendSms = 1, kSendLongText = 2, kSendPicture = 3, kSendCheck = 4 };

// At most this many picture names are read from a send request.
inline constexpr int kMaxRequestPictures = 3;

// The mode (field 0, atoi) of a send body.
int SendModeOf(std::string_view body);

// True for modes 1, 2 and 3, the modes that send.
bool IsSendingMode(int mode);

// True when the body, as the UI program sent it, holds a raw backtick: it would cut its field
// short and shift the fields after it. DSEND and ESEND refuse such a send.
bool HoldsRawBacktick(std::string_view body);

// The extension tags at the start of a send's title (kAdvertTag, kNightConsentTag, in any order;
// an older UI program never sends them): read off the title, and put back in front of it.
struct TitleTags {
  bool advert = false;
  bool night_consent = false;
  bool operator==(const TitleTags&) const = default;
};
// Removes the tags from the start of *title and returns them.
TitleTags TakeTitleTags(std::string* title);
// The tags' text, to put in front of a title ("" when neither is set).
std::string TitleTagText(const TitleTags& tags);

// "4<QX>count<QX>kind<QX>reserve".
struct SendCheckRequest {
  std::string count;    // field 1, as sent
  std::string kind;     // field 2: "1" SMS, "2" LMS, anything else MMS
  std::string reserve;  // field 3

  static SendCheckRequest Parse(std::string_view body);
  std::string Build() const;
  bool operator==(const SendCheckRequest&) const = default;
};

// DSEND "mode<QX>count<QX>title<QX>reserve<QX>numbers<QX>callback<QX>text[<QX><IMG>a,b]".
struct DirectSendRequest {
  int mode = kSendSms;
  int count = 0;
  std::string title;  // without its tags
  std::string reserve;
  std::string numbers;  // comma separated
  std::string callback;
  std::string text;  // coded as sent ("&lt;", "&gacct;")
  // Read only when "<IMG>" is somewhere in the body after its first byte: field 7 without its
  // first five bytes, split at commas, up to three names, ending at the first empty one.
  std::vector<std::string> pictures;
  // The extension tags at the start of the title (an older UI program never sends them).
  TitleTags tags{};

  static DirectSendRequest Parse(std::string_view body);
  std::string Build() const;
  bool operator==(const DirectSendRequest&) const = default;
};

// ASEND "mode<QX>count<QX>title<QX>reserve<QX>groups<QX>numbers<QX>callback<QX>text
// [<QX><IMG>a,b]"; the pictures as for DirectSendRequest, from field 8.
struct GroupSendRequest {
  int mode = kSendSms;
  int count = 0;
  std::string title;  // without its tags
  std::string reserve;
  std::string groups;   // comma separated group names
  std::string numbers;  // comma separated
  std::string callback;
  std::string text;
  std::vector<std::string> pictures;
  // The extension tags at the start of the title (an older UI program never sends them).
  TitleTags tags{};

  static GroupSendRequest Parse(std::string_view body);
  std::string Build() const;
  bool operator==(const GroupSendRequest&) const = default;
};

// ESEND "mode<QX>count<QX>title<QX>reserve<QX>sheet<QX>[<OVERLAP>]phone<QX>second<QX>message
// <QX>callback mode[<QX><IMG>a,b,]".
struct ExcelSendRequest {
  int mode = kSendSms;
  int count = 0;
  std::string title;  // without its tags
  std::string reserve;
  std::string sheet;
  // "<OVERLAP>" somewhere in field 5: the field's first nine bytes are dropped from the phone
  // column.
  bool overlap = false;
  std::string phone_column;   // "&comma;" as sent
  std::string second;         // a callback column or number, "&comma;" as sent
  std::string message;        // the template or text, coded as sent
  std::string callback_mode;  // field 8; see CallbackColumn
  // Read only when "<IMG>" is somewhere in the body after its first byte: field 9 without its
  // first five bytes; as many names (at most three) as commas follow them, the first comma not
  // at the start.
  std::vector<std::string> pictures;
  // "<ONCE>" at the start of field 5 (an extension): each recipient number once, the first row
  // keeping it; the tag is dropped from the phone column.
  bool once = false;
  // The extension tags at the start of the title (an older UI program never sends them).
  TitleTags tags{};

  // True when `second` names a column of callback numbers (the mode has fewer than two bytes).
  bool CallbackColumn() const { return callback_mode.size() < 2; }

  static ExcelSendRequest Parse(std::string_view body);
  std::string Build() const;
  bool operator==(const ExcelSendRequest&) const = default;
};

}  // namespace parley::protocol

#endif  // PARLEY_PROTOCOL_SEND_REQUESTS_H_
