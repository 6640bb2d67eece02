#include "devicelink/Cmd113.h"
#include "devicelink/ReplyFields.h"

namespace mzt {

bool Cmd113::SetArgument(int argument) {
  if (argument != 0 && argument != 1) return false;
  argument_ = argument;
  Build();
  return true;
}

void Cmd113::Build() { ComposeText(CommandBody(113, argument_)); }

bool Cmd113::ParseReply(std::span<const uint8_t> sentence) {
  ReplyFields fields(sentence, kShortField);
  if (fields.Status() != 1) return false;
  long long value = fields.Decimal();
  if (argument_ == 0) value_ = static_cast<int>(value);
  ReplyEvent().Set();
  return true;
}

}  // namespace mzt
