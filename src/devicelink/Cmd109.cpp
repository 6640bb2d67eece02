#include "devicelink/Cmd109.h"
#include "devicelink/ReplyFields.h"

namespace mzt {

void Cmd109::Build() { ComposeText("$PQEL109"); }

bool Cmd109::ParseReply(std::span<const uint8_t> sentence) {
  ReplyFields fields(sentence, kShortField);
  if (fields.Status() != 1) return false;
  ReplyEvent().Set();
  return true;
}

}  // namespace mzt
