#include <cerrno>
#include <cstring>

#include "platform/SystemError.h"

namespace mzt {

std::string SystemErrorText(int code) {
  char buffer[256];
  // GNU strerror_r may return a static string instead of filling the buffer.
  const char* text = strerror_r(code, buffer, sizeof buffer);
  return text ? text : "Unknown error";
}

int LastSystemError() { return errno; }

}  // namespace mzt
