#include "protocol/send_requests.h"

#include <string>

#include "protocol/body_fields.h"
#include "protocol/markup.h"
#include "text/mbcs.h"

namespace parley::protocol {

namespace {

// Direct and group sends: up to three names, ending at the first empty one.
std::vector<std::string> NamesUntilEmpty(std::string_view list) {
  std::vector<std::string> names;
  for (int k = 0; k < kMaxRequestPictures; ++k) {
    std::string name = ExtractSubString(list, k, ',');
    if (name.empty()) break;
    names.push_back(std::move(name));
  }
  return names;
}

// Sheet sends: as many names (at most three) as commas follow them.
std::vector<std::string> NamesBeforeCommas(std::string_view list) {
  int counted = 0;
  for (size_t comma = list.find(',');
       comma != std::string_view::npos && comma > 0 && counted < kMaxRequestPictures;
       comma = list.find(',', comma + 1)) {
    ++counted;
  }
  std::vector<std::string> names;
  for (int k = 0; k < counted; ++k) names.push_back(ExtractSubString(list, k, ','));
  return names;
}

// "<QX><IMG>" and the names separated by commas, with one after the last when asked.
std::string PictureTail(const std::vector<std::string>& names, bool comma_after_last) {
  if (names.empty()) return std::string();
  std::string tail(kFieldSep);
  tail += kImageTag;
  for (size_t i = 0; i < names.size(); ++i) {
    tail += names[i];
    if (comma_after_last || i + 1 < names.size()) tail += ',';
  }
  return tail;
}

// Fields 0 to 3, the same in every send request.
template <typename Request>
void ReadHead(const BodyFields& f, Request* r) {
  r->mode = f.Number(0);
  r->count = f.Number(1);
  r->title = f.Text(2);
  r->tags = TakeTitleTags(&r->title);
  r->reserve = f.Text(3);
}

// The title as sent: its tags in front.
template <typename Request>
std::string TaggedTitle(const Request& r) {
  return TitleTagText(r.tags) + r.title;
}

// The head fields, then the rest, joined.
template <typename Request>
std::string BuildWithHead(const Request& r, std::initializer_list<std::string_view> rest) {
  std::string body =
      JoinFields({std::to_string(r.mode), std::to_string(r.count), TaggedTitle(r), r.reserve});
  for (std::string_view field : rest) {
    body += kFieldSep;
    body += field;
  }
  return body;
}

}  // namespace

// Field 0 is a prefix of the body and atoi stops at the separator after it: no split needed.
int SendModeOf(std::string_view body) { return Atoi(body); }

bool IsSendingMode(int mode) {
  return mode == kSendSms || mode == kSendLongText || mode == kSendPicture;
}

TitleTags TakeTitleTags(std::string* title) {
  TitleTags tags;
  for (bool more = true; more;) {
    more = false;
    if (!tags.advert && title->starts_with(kAdvertTag)) {
      tags.advert = more = true;
      title->erase(0, kAdvertTag.size());
    }
    if (!tags.night_consent && title->starts_with(kNightConsentTag)) {
      tags.night_consent = more = true;
      title->erase(0, kNightConsentTag.size());
    }
  }
  return tags;
}

std::string TitleTagText(const TitleTags& tags) {
  std::string text;
  if (tags.advert) text += kAdvertTag;
  if (tags.night_consent) text += kNightConsentTag;
  return text;
}

bool HoldsRawBacktick(std::string_view body) { return body.find('`') != std::string_view::npos; }

SendCheckRequest SendCheckRequest::Parse(std::string_view body) {
  const BodyFields f(body);
  return {f.Text(1), f.Text(2), f.Text(3)};
}

std::string SendCheckRequest::Build() const {
  return JoinFields({std::to_string(kSendCheck), count, kind, reserve});
}

DirectSendRequest DirectSendRequest::Parse(std::string_view body) {
  const BodyFields f(body);
  DirectSendRequest r;
  ReadHead(f, &r);
  r.numbers = f.Text(4);
  r.callback = f.Text(5);
  r.text = f.Text(6);
  r.pictures = NamesUntilEmpty(PictureList(f, 7));
  return r;
}

std::string DirectSendRequest::Build() const {
  return JoinFields({std::to_string(mode), std::to_string(count), TaggedTitle(*this), reserve,
                     numbers, callback, text}) +
         PictureTail(pictures, false);
}

GroupSendRequest GroupSendRequest::Parse(std::string_view body) {
  const BodyFields f(body);
  GroupSendRequest r;
  ReadHead(f, &r);
  r.groups = f.Text(4);
  r.numbers = f.Text(5);
  r.callback = f.Text(6);
  r.text = f.Text(7);
  r.pictures = NamesUntilEmpty(PictureList(f, 8));
  return r;
}

std::string GroupSendRequest::Build() const {
  return JoinFields({std::to_string(mode), std::to_string(count), TaggedTitle(*this), reserve,
                     groups, numbers, callback, text}) +
         PictureTail(pictures, false);
}

ExcelSendRequest ExcelSendRequest::Parse(std::string_view body) {
  const BodyFields f(body);
  ExcelSendRequest r;
  ReadHead(f, &r);
  r.sheet = f.Text(4);
  std::string_view phone = f[5];
  if (phone.find(kOverlapTag) != std::string_view::npos) {
    r.overlap = true;
    phone.remove_prefix(std::min(phone.size(), kOverlapTag.size()));
  }
  if (phone.starts_with(kOnceTag)) {
    r.once = true;
    phone.remove_prefix(kOnceTag.size());
  }
  r.phone_column = std::string(phone);
  r.second = f.Text(6);
  r.message = f.Text(7);
  r.callback_mode = f.Text(8);
  r.pictures = NamesBeforeCommas(PictureList(f, 9));
  return r;
}

std::string ExcelSendRequest::Build() const {
  const std::string phone = (overlap ? std::string(kOverlapTag) : std::string()) +
                            (once ? std::string(kOnceTag) : std::string()) + phone_column;
  return BuildWithHead(*this, {sheet, phone, second, message, callback_mode}) +
         PictureTail(pictures, true);
}

}  // namespace parley::protocol
