// The field reader the request parsers share: a body split once into its fields, the way the
// engine has always split them.
#ifndef PARLEY_PROTOCOL_BODY_FIELDS_H_
#define PARLEY_PROTOCOL_BODY_FIELDS_H_

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace parley::protocol {

// A body's fields: every "<QX>" replaced with a backtick and the result split at backticks
// (at the start of a character only), so a literal backtick in the body also separates fields.
// Holds its own copy of the text.
class BodyFields {
 public:
  explicit BodyFields(std::string_view body);

  // Field i, or an empty view when there is none.
  std::string_view operator[](size_t i) const;
  // The number of fields; at least 1.
  size_t size() const { return fields_.size(); }
  std::string Text(size_t i) const { return std::string((*this)[i]); }
  // Field i read as C atoi reads it.
  int Number(size_t i) const;
  // True when "<IMG>" is somewhere in the body after its first byte.
  bool HasPictures() const;

 private:
  std::string text_;                               // the body with "<QX>" replaced
  std::vector<std::pair<size_t, size_t>> fields_;  // offset and length in text_
};

// The picture list of field i when the body has pictures: the field without its first five
// bytes (the "<IMG>" it starts with); empty otherwise.
std::string PictureList(const BodyFields& fields, size_t i);

}  // namespace parley::protocol

#endif  // PARLEY_PROTOCOL_BODY_FIELDS_H_
