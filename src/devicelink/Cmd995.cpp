#include "devicelink/Cmd995.h"
#include "devicelink/ReplyFields.h"

namespace mzt {

bool Cmd995::SetIndex(int index) {
  if (index < 1 || index > 65535) return false;
  index_ = index;
  Build();
  return true;
}

void Cmd995::Build() { ComposeText(CommandBody(995, index_)); }

bool Cmd995::ParseReply(std::span<const uint8_t> sentence) {
  ReplyFields fields(sentence, kShortField);
  if (fields.Status() != 1) return false;
  if (fields.Decimal() != index_) return false;
  int identifier = static_cast<int>(fields.Decimal());
  int location = static_cast<int>(fields.Decimal());
  fileIdentifier_ = identifier;
  location_ = location;
  ReplyEvent().Set();
  return true;
}

}  // namespace mzt
