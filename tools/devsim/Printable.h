#pragma once

#include <string>
#include <string_view>

namespace mzt::devsim {

// Wire bytes for a log line: printable ASCII as it is, CR and LF as \r and
// \n, everything else as \xHH.
std::string Printable(std::string_view bytes);

}  // namespace mzt::devsim
