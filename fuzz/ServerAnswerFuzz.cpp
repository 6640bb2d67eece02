// The update server's short answers, and the messages chosen by their code
// and by an HTTP status taken from the same bytes.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "page/ServerAnswer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  mzt::ServerAnswer answer = mzt::ReadServerAnswer(text);
  size_t fieldBytes = 0;
  for (const auto& field : answer.fields) fieldBytes += field.size();
  if (fieldBytes > size || answer.Field(answer.fields.size()) != "") std::abort();
  (void)mzt::ServerAnswerMessage(answer.code);

  int status = 0;
  if (size >= sizeof status) std::memcpy(&status, data, sizeof status);
  (void)mzt::HttpStatusMessage(status);
  return 0;
}
