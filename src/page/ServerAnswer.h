#pragma once
// The update server's short answers: "code[,field...]" with fields ending at
// ',', '*' or the end of the text.

#include <string>
#include <string_view>
#include <vector>

namespace mzt {

// An answer page is a code and a few short fields: no more of a body than this is read.
inline constexpr size_t kMaxServerAnswerBytes = 4096;
// The fields after the code that any page's answer uses (the version check's
// date text and number); the rest of an answer is not read.
inline constexpr size_t kServerAnswerFields = 2;

// The answer codes the pages give; 7 and 8 carry no message.
enum ServerAnswerCode : int {
  kAnswerNothingNewer = 2,
  kAnswerNewerDatabase = 3,  // the version check's version, or the download's address
  kAnswerNoDatabase = 4,
  kAnswerServerError = 6,
};

struct ServerAnswer {
  int code = 0;                     // 0 when the first field is not a number
  std::vector<std::string> fields;  // after the code, at most kServerAnswerFields

  // The field after the code at `index` (0: second field), empty when missing.
  std::string Field(size_t index) const { return index < fields.size() ? fields[index] : ""; }
};

ServerAnswer ReadServerAnswer(std::string_view text);

// The message of an answer code, or nullptr for a code without one.
const wchar_t* ServerAnswerMessage(int code);

// "Connecting to Web server...Failure", with the status's words for the
// statuses the server is known to answer with.
std::wstring HttpStatusMessage(int status);

}  // namespace mzt
