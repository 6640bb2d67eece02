#pragma once
// The version check, the one question the update, `mzt check` and `mzt
// doctor` ask the update server, read one way for all three; and the user's
// proxy, told to every client that asks it.

#include <optional>
#include <string>

#include "common/ProxyText.h"
#include "common/Result.h"
#include "page/PageState.h"
#include "page/ServerAnswer.h"
#include "platform/HttpClient.h"
#include "platform/ProxySetting.h"

namespace mzt {

// Longer answers than this of the version check are not read.
inline constexpr size_t kVersionAnswerBytes = 50;

enum class VersionVerdict {
  kNewer,             // code 3, with no version or a date of eight digits and a number
  kNothingNewer,      // code 2
  kNoDatabase,        // code 4
  kMalformedVersion,  // code 3 with a version that is no date and number
  kUnanswered,        // an HTTP status other than 200, or no code the pages give
};

struct VersionCheckAnswer {
  int status = 0;
  std::string body;
  ServerAnswer answer;
  VersionVerdict verdict = VersionVerdict::kUnanswered;

  // What the server offers, as the device's version is printed: "YYYYMMDDNNNN".
  std::string Offered() const;
  // Why an unanswered check says nothing, naming the check's `url`.
  std::string Problem(const std::string& url) const;
};

// The region the check asks about: a device without regions takes Taiwan's
// database only.
int VersionCheckRegion(int chosen, bool regionCapable);

// Asks `client` for the check at `url`; fails only when no response came.
Result<VersionCheckAnswer> AskVersionCheck(IHttpClient& client, const std::string& url);

// "... answered code N", or the first bytes of what is no answer.
std::string UnansweredText(const std::string& page, int code, std::string_view body);

struct ProxyChoice {
  ProxySetting setting;               // as the user's environment holds it
  std::optional<ProxyAddress> proxy;  // none: a direct connection
};

// Tells `client` the user's proxy for `url`'s scheme; fails (kRefused) when
// the client refuses it.
Result<ProxyChoice> UseUserProxy(IHttpClient& client, const std::string& url);

}  // namespace mzt
