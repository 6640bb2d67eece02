#include "page/VersionCheck.h"

#include <cctype>
#include <cstdio>

#include "common/FieldReader.h"
#include "common/TextFill.h"
#include "platform/Translation.h"

namespace mzt {
namespace {

bool AllDigits(const std::string& text, size_t length) {
  return !text.empty() && (length == 0 || text.size() == length) &&
         text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

std::string VersionCheckAnswer::Offered() const {
  char number[24];
  std::snprintf(number, sizeof number, "%04lld", ParseDecimal(answer.Field(1)));
  return answer.Field(0) + number;
}

std::string VersionCheckAnswer::Problem(const std::string& url) const {
  if (status != 200)
    return Fill(Tr("the version check ({1}) answered HTTP status {2}"), {url, std::to_string(status)});
  const std::string page = Fill(Tr("the version check ({1})"), {url});
  return UnansweredText(page, answer.code, body);
}

int VersionCheckRegion(int chosen, bool regionCapable) { return regionCapable ? chosen : 0; }

Result<VersionCheckAnswer> AskVersionCheck(IHttpClient& client, const std::string& url) {
  // What lies beyond the answer's first bytes is not even read.
  auto response = client.Get(url, kVersionAnswerBytes);
  if (!response) return std::move(response).TakeError();
  VersionCheckAnswer checked;
  checked.status = response.Value().status;
  checked.body = response.Value().body;
  if (checked.status != 200) return checked;
  checked.answer = ReadServerAnswer(checked.body);
  const ServerAnswer& answer = checked.answer;
  switch (answer.code) {
    case kAnswerNewerDatabase:
      // No version at all is the short news; a version given must be a date and a number.
      checked.verdict = answer.fields.empty() || (AllDigits(answer.Field(0), 8) && AllDigits(answer.Field(1), 0))
                            ? VersionVerdict::kNewer
                            : VersionVerdict::kMalformedVersion;
      break;
    case kAnswerNothingNewer: checked.verdict = VersionVerdict::kNothingNewer; break;
    case kAnswerNoDatabase: checked.verdict = VersionVerdict::kNoDatabase; break;
    default: break;
  }
  return checked;
}

std::string UnansweredText(const std::string& page, int code, std::string_view body) {
  if (code != 0) return Fill(Tr("{1} answered code {2}"), {page, std::to_string(code)});
  std::string shown(body.substr(0, 40));
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) c = '.';
  return Fill(Tr("{1} answered something that is not an answer code: \"{2}\""), {page, shown});
}

Result<ProxyChoice> UseUserProxy(IHttpClient& client, const std::string& url) {
  std::string scheme = url.substr(0, url.find(':'));
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  ProxyChoice choice{ReadUserProxySetting(scheme), std::nullopt};
  choice.proxy = ParseProxyText(choice.setting.proxyText);
  if (choice.proxy) {
    auto set = client.SetProxy(*choice.proxy, choice.setting.bypassList);
    if (!set) return std::move(set).TakeError().With(Fill(Tr("the proxy {1}"), {MaskProxyPassword(choice.setting.proxyText)}));
  }
  return choice;
}

}  // namespace mzt
