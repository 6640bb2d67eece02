#include "updserver/ServerArguments.h"

#include <charconv>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>

namespace mzt::updserver {
namespace {

// The longest body that the program takes for a server answer instead of a database.
constexpr size_t kMaxShortBody = 44;
// The port of the program's default server address.
constexpr int kDefaultPort = 8086;
constexpr int kDefaultDripRate = 2;  // bytes a second
constexpr int kMaxDripRate = 65536;
constexpr int kDefaultHugeMebibytes = 64;
constexpr int kMaxHugeMebibytes = 1024;
constexpr size_t kRecordSize = 36;  // a camera record

const std::map<std::string, Page> kPages = {
    {"check", Page::kVersionCheck},
    {"address", Page::kDownloadAddress},
    {"download", Page::kDownload},
    {"success", Page::kSuccessReport},
};

bool ReadNumber(const std::string& text, int low, int high, int& out) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
  return error == std::errc() && end == text.data() + text.size() && out >= low && out <= high;
}

Error Invalid(const std::string& what) { return Error{ErrorCode::kInvalidArgument, what}; }

}  // namespace

const char* const kServerUsage =
    "Usage: mzt-updserver [--port N] [--host ADDRESS] [--db-dir DIR] [--fault PAGE:MODE[:VALUE]]...\n"
    "       mzt-updserver --replay FILE [--database DB] [--port N] [--host ADDRESS]\n"
    "\n"
    "Serves the update server's pages for both regions and the newest database\n"
    "of DIR/tw and DIR/cn (by the version in their \"%CDB\" header). Prints its base\n"
    "address, then one line per request, until interrupted.\n"
    "\n"
    "  --port N         port to listen on (default 8086); 0 picks a free one\n"
    "  --replay FILE    answer as the session recorded with mzt --record was answered:\n"
    "                   each path and query as recorded, in order; the download from\n"
    "                   --database DB, which must have the recorded size and SHA-256\n"
    "  --host ADDRESS   address to listen on (default 127.0.0.1)\n"
    "  --db-dir DIR     folder holding tw/ and cn/ (default: the current folder)\n"
    "  --fault PAGE:MODE makes PAGE (check, address, download, success) answer by MODE:\n"
    "                     status:CODE    that HTTP status\n"
    "                     truncate       half the body, short of its Content-Length\n"
    "                     slow:MS        the body in pieces, MS milliseconds apart\n"
    "                     chunked        the body without a Content-Length\n"
    "                     cut            half the body without a length, then the\n"
    "                                    connection closes\n"
    "                     shortlength[:N] a Content-Length N bytes short of the body\n"
    "                                    (default 36, one record); the whole body\n"
    "                     file:PATH      the bytes of PATH as the body (another database)\n"
    "                     short[:TEXT]   a body of at most 44 bytes (default \"2\")\n"
    "                     garbage        bytes that are no answer\n"
    "                     nonnumeric     an answer whose code is not a number\n"
    "                     body:TEXT      TEXT as the body\n"
    "                     redirect:URL   a redirect to URL\n"
    "                     drip[:N]       the body at N bytes a second (default 2), then\n"
    "                                    blanks at that rate for ever, without a length\n"
    "                     huge[:MIB]     the body padded with commas to MIB mebibytes\n"
    "                                    (default 64)\n"
    "  --help           this text\n"
    "  --version        the version\n";

Result<std::pair<Page, PageFault>> ParseFault(const std::string& text) {
  size_t first = text.find(':');
  auto page = kPages.find(text.substr(0, first));
  if (first == std::string::npos || page == kPages.end()) return Invalid("bad fault: " + text);
  std::string rest = text.substr(first + 1);
  size_t second = rest.find(':');
  std::string mode = rest.substr(0, second);
  bool hasValue = second != std::string::npos;
  std::string value = hasValue ? rest.substr(second + 1) : "";

  std::pair<Page, PageFault> parsed{page->second, {}};
  PageFault& fault = parsed.second;
  int number = 0;
  if (mode == "status" && ReadNumber(value, 100, 599, number)) {
    fault.status = number;
  } else if (mode == "slow" && ReadNumber(value, 1, 3600000, number)) {
    fault.pieceDelay = std::chrono::milliseconds(number);
    fault.pieceSize = 1024;
  } else if (mode == "truncate" && !hasValue) {
    fault.truncate = true;
  } else if (mode == "chunked" && !hasValue) {
    fault.chunked = true;
  } else if (mode == "cut" && !hasValue) {
    fault.truncate = true;
    fault.unframed = true;
  } else if (mode == "shortlength" && (!hasValue || ReadNumber(value, 1, INT32_MAX, number))) {
    fault.lengthShortBy = hasValue ? static_cast<size_t>(number) : kRecordSize;
  } else if (mode == "file" && hasValue) {
    std::ifstream in(value, std::ios::binary);
    if (!in) return Invalid("cannot read " + value);
    fault.body.emplace(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } else if (mode == "short" && value.size() <= kMaxShortBody) {
    fault.body.emplace(hasValue ? value : "2");
  } else if (mode == "garbage" && !hasValue) {
    fault.body.emplace("\x89GARBAGE\r\n\x1a\xff\xfe<html>no answer</html>");
  } else if (mode == "nonnumeric" && !hasValue) {
    fault.body.emplace("X3,20240105,12");
  } else if (mode == "redirect" && hasValue) {
    fault.status = 302;
    fault.location = value;
  } else if (mode == "drip" && (!hasValue || ReadNumber(value, 1, kMaxDripRate, number))) {
    fault.dripRate = hasValue ? static_cast<size_t>(number) : kDefaultDripRate;
  } else if (mode == "huge" && (!hasValue || ReadNumber(value, 1, kMaxHugeMebibytes, number))) {
    fault.hugeBytes = static_cast<size_t>(hasValue ? number : kDefaultHugeMebibytes) << 20;
  } else if (mode == "body" && hasValue) {
    fault.body.emplace(value);
  } else {
    return Invalid("bad fault: " + text);
  }
  return parsed;
}

Result<ServerArguments> ParseServerArguments(const std::vector<std::string>& args) {
  ServerArguments parsed;
  parsed.options.databaseFolder = ".";
  parsed.options.port = kDefaultPort;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      parsed.help = true;
      continue;
    }
    if (arg == "--version") {
      parsed.version = true;
      continue;
    }
    if (arg != "--port" && arg != "--host" && arg != "--db-dir" && arg != "--fault" && arg != "--replay" &&
        arg != "--database")
      return Invalid("unknown option: " + arg);
    if (i + 1 >= args.size()) return Invalid(arg + " needs a value");
    const std::string& value = args[++i];
    if (arg == "--port") {
      if (!ReadNumber(value, 0, 65535, parsed.options.port)) return Invalid("bad port: " + value);
    } else if (arg == "--host") {
      parsed.options.host = value;
    } else if (arg == "--db-dir") {
      parsed.options.databaseFolder = value;
    } else if (arg == "--replay") {
      parsed.replay = value;
    } else if (arg == "--database") {
      parsed.database = value;
    } else {
      auto fault = ParseFault(value);
      if (!fault) return std::move(fault).TakeError();
      parsed.faults.push_back(std::move(fault).Value());
    }
  }
  return parsed;
}

}  // namespace mzt::updserver
