// The field reader the request parsers share: a body split once into its fields, the way the
// engine has always split them.
#ifndef PARLEY_PROTOCOL_BODY_FIELDS_H_
#define PARLEY_PROTOCOL_BODY_FIELDS_H_

#include <string>
#include <string_view>
#include <vector>

namespace parley::protocol {

class BodyFields {
 public:
  // Replaces every "<QX>" of body with a backtick and splits at backticks.
  explicit BodyFields(std::string_view body);
  BodyFields(const BodyFields&) = delete;  // the fields view into the object's own text
  BodyFields& operator=(const BodyFields&) = delete;

  // Field i, or an empty view when there is none.
  std::string_view operator[](size_t i) const;
  std::string Text(size_t i) const { return std::string((*this)[i]); }
  // Field i read as C atoi reads it.
  int Number(size_t i) const;
  // True when "<IMG>" is somewhere in the body after its first byte.
  bool HasPictures() const;

 private:
  std::string text_;
  std::vector<std::string_view> fields_;
};

// The picture list of field i when the body has pictures: the field without its first five
// bytes (the "<IMG>" it starts with); empty otherwise.
std::string PictureList(const BodyFields& fields, size_t i);

}  // namespace parley::protocol

#endif  // PARLEY_PROTOCOL_BODY_FIELDS_H_
