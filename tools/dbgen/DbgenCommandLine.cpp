#include "dbgen/DbgenCommandLine.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>

namespace mzt::dbgen {
namespace {

Error Invalid(std::string message) { return Error{ErrorCode::kInvalidArgument, std::move(message)}; }

std::optional<uint64_t> ParseNumber(std::string_view text, uint64_t low, uint64_t high) {
  uint64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
    return std::nullopt;
  return value;
}

}  // namespace

std::string DbgenUsage() {
  return "Usage: mzt-dbgen --out FILE [options]\n"
         "Writes a valid synthetic speed-camera database.\n"
         "\n"
         "  --out FILE      the database file to write (required)\n"
         "  --year Y        version year (default 2024)\n"
         "  --month M       version month, 1-12 (default 1)\n"
         "  --day D         version day, 1-31 (default 1)\n"
         "  --number N      version number, 0-65535 (default 1)\n"
         "  --grid AxB      grid cells, west-east x south-north (default 8x16)\n"
         "  --records N     number of camera records (default 1000)\n"
         "  --size-mib M    as many records as fit in M MiB, instead of --records\n"
         "  --seed S        seed of the made-up values (default 1)\n"
         "  --help          this text\n"
         "  --version       the version\n";
}

Result<DbgenCommand> ParseDbgenCommandLine(std::span<const std::string_view> args) {
  DbgenCommand command;
  std::optional<uint64_t> records, sizeMib;
  constexpr uint64_t kMaxRecords = std::numeric_limits<uint32_t>::max();

  for (size_t i = 0; i < args.size(); ++i) {
    std::string_view name = args[i];
    if (name == "--help" || name == "-h") {
      command.help = true;
      continue;
    }
    if (name == "--version") {
      command.version = true;
      continue;
    }
    if (i + 1 >= args.size()) {
      if (name.starts_with("--")) return Invalid(std::string(name) + " needs a value");
      return Invalid("unknown argument " + std::string(name));
    }
    std::string_view value = args[++i];
    auto number = [&](uint64_t low, uint64_t high) -> Result<uint64_t> {
      if (auto parsed = ParseNumber(value, low, high)) return *parsed;
      return Invalid(std::string(name) + " takes a number from " + std::to_string(low) + " to " +
                     std::to_string(high) + ", not \"" + std::string(value) + "\"");
    };
    Result<uint64_t> parsed = uint64_t{0};
    if (name == "--out") {
      if (value.empty()) return Invalid("--out needs a file name");
      command.out = std::filesystem::path(value);
    } else if (name == "--year") {
      if (!(parsed = number(1, 65535))) return std::move(parsed).TakeError();
      command.database.year = static_cast<uint16_t>(parsed.Value());
    } else if (name == "--month") {
      if (!(parsed = number(1, 12))) return std::move(parsed).TakeError();
      command.database.month = static_cast<uint8_t>(parsed.Value());
    } else if (name == "--day") {
      if (!(parsed = number(1, 31))) return std::move(parsed).TakeError();
      command.database.day = static_cast<uint8_t>(parsed.Value());
    } else if (name == "--number") {
      if (!(parsed = number(0, 65535))) return std::move(parsed).TakeError();
      command.database.number = static_cast<uint16_t>(parsed.Value());
    } else if (name == "--grid") {
      size_t x = value.find_first_of("xX");
      auto a = x == std::string_view::npos ? std::nullopt : ParseNumber(value.substr(0, x), 1, 65535);
      auto b = a ? ParseNumber(value.substr(x + 1), 1, 65535) : std::nullopt;
      if (!a || !b) return Invalid("--grid takes AxB with each from 1 to 65535, not \"" +
                                   std::string(value) + "\"");
      command.database.gridA = static_cast<uint16_t>(*a);
      command.database.gridB = static_cast<uint16_t>(*b);
    } else if (name == "--records") {
      if (!(parsed = number(0, kMaxRecords))) return std::move(parsed).TakeError();
      records = parsed.Value();
    } else if (name == "--size-mib") {
      if (!(parsed = number(1, 1 << 20))) return std::move(parsed).TakeError();
      sizeMib = parsed.Value();
    } else if (name == "--seed") {
      if (!(parsed = number(0, std::numeric_limits<uint64_t>::max())))
        return std::move(parsed).TakeError();
      command.database.seed = parsed.Value();
    } else {
      return Invalid("unknown option " + std::string(name));
    }
  }
  if (command.help || command.version) return command;
  if (command.out.empty()) return Invalid("--out FILE is required");
  if (records && sizeMib) return Invalid("--records and --size-mib exclude each other");
  if (records) command.database.records = *records;
  if (sizeMib) {
    uint64_t fitting =
        RecordsForSize(*sizeMib << 20, command.database.gridA, command.database.gridB);
    if (fitting == 0) return Invalid("--size-mib is too small for the header and grid index");
    if (fitting > kMaxRecords) return Invalid("--size-mib asks for more than 2^32-1 records");
    command.database.records = fitting;
  }
  return command;
}

}  // namespace mzt::dbgen
