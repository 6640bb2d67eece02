#include "platform/Terminal.h"

#include <cstdio>
#include <cstdlib>

namespace mzt {

void ExitNow(int status) {
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(status);
}

}  // namespace mzt
