#pragma once
// The update server's short answers: "code[,field...]" with fields ending at
// ',', '*' or the end of the text.

#include <string>
#include <string_view>
#include <vector>

namespace mzt {

struct ServerAnswer {
  int code = 0;                     // 0 when the first field is not a number
  std::vector<std::string> fields;  // after the code

  // The field after the code at `index` (0: second field), empty when missing.
  std::string Field(size_t index) const { return index < fields.size() ? fields[index] : ""; }
};

ServerAnswer ReadServerAnswer(std::string_view text);

// The message of an answer code (2, 4, 6), or nullptr for a code without one.
const wchar_t* ServerAnswerMessage(int code);

// "Connecting to Web server...Failure", with the status's words for the
// statuses the server is known to answer with.
std::wstring HttpStatusMessage(int status);

}  // namespace mzt
