#pragma once
// A real forward proxy (tinyproxy) on a free loopback port, for the tests of
// requests through a proxy. Started by the constructor, ended by the destructor.

#include <sys/types.h>

#include <chrono>
#include <string>

#include "support/TempFolder.h"

namespace mzt::test {

class TinyProxy {
 public:
  // Whether the tinyproxy program is on PATH.
  static bool Installed();

  // `basicAuth` ("user password"): requests without these credentials are refused.
  explicit TinyProxy(const std::string& basicAuth = {});
  ~TinyProxy();
  TinyProxy(const TinyProxy&) = delete;
  TinyProxy& operator=(const TinyProxy&) = delete;

  // Whether it accepts connections; when not, Problem() says why.
  bool Running() const { return running_; }
  const std::string& Problem() const { return problem_; }
  int Port() const { return port_; }
  std::string Log() const;
  // Waits until the log holds `text`, as it writes each request when it handles it.
  bool LogContains(const std::string& text, std::chrono::milliseconds timeout) const;

 private:
  TempFolder folder_;
  pid_t pid_ = -1;
  int port_ = 0;
  bool running_ = false;
  std::string problem_;
};

// Unsets the proxy variables, so that requests go straight to loopback servers.
void ClearProxyEnvironment();

}  // namespace mzt::test
