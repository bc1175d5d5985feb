#include "protocol/body_fields.h"

#include <algorithm>

#include "protocol/markup.h"
#include "text/mbcs.h"

namespace parley::protocol {

namespace {
constexpr char kFieldBreak = '`';
}  // namespace

BodyFields::BodyFields(std::string_view body)
    : text_(Replaced(body, kFieldSep, std::string_view(&kFieldBreak, 1))) {
  for (std::string_view field : SplitFields(text_, kFieldBreak)) {
    fields_.emplace_back(static_cast<size_t>(field.data() - text_.data()), field.size());
  }
}

std::string_view BodyFields::operator[](size_t i) const {
  if (i >= fields_.size()) return std::string_view();
  return std::string_view(text_).substr(fields_[i].first, fields_[i].second);
}

int BodyFields::Number(size_t i) const { return Atoi((*this)[i]); }

bool BodyFields::HasPictures() const {
  const size_t marker = text_.find(kImageTag);
  return marker != std::string::npos && marker > 0;
}

std::string PictureList(const BodyFields& fields, size_t i) {
  if (!fields.HasPictures()) return std::string();
  std::string list = fields.Text(i);
  list.erase(0, std::min(list.size(), kImageTag.size()));
  return list;
}

}  // namespace parley::protocol
