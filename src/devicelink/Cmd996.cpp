#include "devicelink/Cmd996.h"
#include "devicelink/ReplyFields.h"

namespace mzt {

bool Cmd996::SetLocation(int location) {
  location_ = location;
  Build();
  return true;
}

void Cmd996::Build() { ComposeText(CommandBody(996, location_)); }

bool Cmd996::ParseReply(std::span<const uint8_t> sentence) {
  ReplyFields fields(sentence, kShortField);
  if (fields.Status() != 1) return false;
  int identifier = static_cast<int>(fields.Decimal());
  long long error = fields.Decimal();
  if (identifier != expected_ || error != 0) return false;
  ReplyEvent().Set();
  return true;
}

}  // namespace mzt
