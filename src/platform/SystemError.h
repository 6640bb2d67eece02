#pragma once

#include <string>

namespace mzt {

// The system's text for an error code (errno here), as ShowSystemError shows it.
std::string SystemErrorText(int code);
// The last error of the calling thread.
int LastSystemError();

}  // namespace mzt
