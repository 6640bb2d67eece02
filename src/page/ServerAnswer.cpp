#include "page/ServerAnswer.h"

#include <algorithm>
#include <climits>

#include "common/FieldReader.h"
#include "page/PageTexts.h"

namespace mzt {

ServerAnswer ReadServerAnswer(std::string_view text) {
  FieldCursor cursor(text);
  ServerAnswer answer;
  answer.code =
      static_cast<int>(std::clamp<long long>(ParseDecimal(cursor.Next()), INT_MIN, INT_MAX));
  while (answer.fields.size() < kServerAnswerFields) {
    std::string field = cursor.Next();
    if (!cursor.LastFound()) break;
    // Servers often end the answer with a line break, or pad a field.
    const char* blanks = " \t\r\n";
    size_t first = field.find_first_not_of(blanks);
    field = first == std::string::npos ? std::string()
                                       : field.substr(first, field.find_last_not_of(blanks) - first + 1);
    answer.fields.push_back(std::move(field));
  }
  return answer;
}

const wchar_t* ServerAnswerMessage(int code) {
  switch (code) {
    case kAnswerNothingNewer: return strings::kNothingNewer;
    case kAnswerNoDatabase: return strings::kNoDatabaseOnServer;
    case kAnswerServerError: return strings::kServerError;
    default: return nullptr;
  }
}

std::wstring HttpStatusMessage(int status) {
  std::wstring text = L"Connecting to Web server...Failure";
  switch (status) {
    case 403: return text + L"  Forbidden";
    case 404: return text + L"  Not Found";
    case 406: return text + L"    Not Acceptable";
    case 408: return text + L"    Request Timeout";
    case 500: return text + L"   Internal Server Error";
    case 501: return text + L"   Not Implemented";
    default: return text;
  }
}

}  // namespace mzt
