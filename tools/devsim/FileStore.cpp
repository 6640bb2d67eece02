#include "devsim/FileStore.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

namespace mzt::devsim {
namespace {

constexpr const char* kTableName = "table.txt";

Result<std::string> ReadWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Error{ErrorCode::kNotFound, "cannot read " + path.string()};
  return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Write beside, then rename: a crash never leaves half a file behind.
bool WriteWhole(const std::filesystem::path& path, const std::string& bytes, std::error_code& ec) {
  std::filesystem::path temporary = path;
  temporary += ".part";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
      ec = std::make_error_code(std::errc::io_error);
      return false;
    }
  }
  std::filesystem::rename(temporary, path, ec);
  return !ec;
}

}  // namespace

std::string DeviceFileName(uint16_t id) {
  char name[16];
  std::snprintf(name, sizeof name, "%04X.bin", unsigned{id});
  return name;
}

FileStore::FileStore(std::filesystem::path folder, Warn warn)
    : folder_(std::move(folder)), warn_(std::move(warn)) {}

Result<bool> FileStore::LoadPersisted() {
  if (folder_.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(folder_, ec);
  if (ec) return Error{ErrorCode::kIo, "cannot create " + folder_.string() + ": " + ec.message()};
  if (!std::filesystem::exists(folder_ / kTableName)) return false;
  auto text = ReadWhole(folder_ / kTableName);
  if (!text) return std::move(text).TakeError();
  std::vector<StoredFile> table;
  std::istringstream lines(text.Value());
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty()) continue;
    unsigned id = 0, location = 0, complete = 0;
    if (std::sscanf(line.c_str(), "%x %u %u", &id, &location, &complete) != 3 || id > 0xFFFF)
      return Error{ErrorCode::kFormat, (folder_ / kTableName).string() + ": bad line \"" + line + "\""};
    StoredFile file;
    file.id = static_cast<uint16_t>(id);
    file.location = location;
    file.complete = complete != 0;
    auto data = ReadWhole(folder_ / DeviceFileName(file.id));
    if (!data) return std::move(data).TakeError();
    file.data = std::move(data).Value();
    table.push_back(std::move(file));
  }
  table_ = std::move(table);
  return true;
}

Result<void> FileStore::LoadDatabaseFolder(const std::filesystem::path& folder,
                                           const std::vector<uint16_t>& unplaced) {
  bool any = false;
  for (uint16_t id : {uint16_t{0xFF00}, uint16_t{0xFF01}, uint16_t{0xFF02}}) {
    std::filesystem::path path = folder / DeviceFileName(id);
    if (!std::filesystem::exists(path)) continue;
    auto data = ReadWhole(path);
    if (!data) return std::move(data).TakeError();
    Begin(id);
    StoredFile* file = FindMutable(id);
    file->data = std::move(data).Value();
    if (std::find(unplaced.begin(), unplaced.end(), id) != unplaced.end()) {
      Flush(id);
    } else {
      Complete(id);
    }
    any = true;
  }
  if (!any)
    return Error{ErrorCode::kNotFound, folder.string() + " holds none of FF00.bin, FF01.bin, FF02.bin"};
  return Success();
}

const StoredFile* FileStore::Find(uint16_t id) const {
  auto it = std::find_if(table_.begin(), table_.end(), [id](const StoredFile& f) { return f.id == id; });
  return it == table_.end() ? nullptr : &*it;
}

StoredFile* FileStore::FindMutable(uint16_t id) {
  return const_cast<StoredFile*>(std::as_const(*this).Find(id));
}

uint64_t FileStore::UsedBytes() const {
  uint64_t used = 0;
  for (const StoredFile& file : table_) used += file.data.size();
  return used;
}

uint32_t FileStore::FreeLocation() const {
  for (uint32_t location = 1;; ++location) {
    if (location == kUnplacedAlias) continue;
    bool taken = std::any_of(table_.begin(), table_.end(),
                             [location](const StoredFile& f) { return f.location == location; });
    if (!taken) return location;
  }
}

void FileStore::Begin(uint16_t id) {
  std::erase_if(table_, [id](const StoredFile& f) { return f.id == id; });
  table_.push_back(StoredFile{id, 0, {}, false});
  SaveData(table_.back());
  SaveTable();
}

bool FileStore::Append(uint16_t id, std::span<const uint8_t> bytes) {
  StoredFile* file = FindMutable(id);
  if (!file || file->complete) return false;
  file->data.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return true;
}

void FileStore::Complete(uint16_t id) {
  StoredFile* file = FindMutable(id);
  if (!file) return;
  file->complete = true;
  if (file->location == 0) file->location = FreeLocation();
  SaveData(*file);
  SaveTable();
}

void FileStore::Flush(uint16_t id) {
  if (const StoredFile* file = Find(id)) {
    SaveData(*file);
    SaveTable();
  }
}

std::optional<StoredFile> FileStore::DeleteAt(uint32_t location) {
  auto matches = [location](const StoredFile& f) {
    return location == kUnplacedAlias ? f.location == 0 : location != 0 && f.location == location;
  };
  auto it = std::find_if(table_.rbegin(), table_.rend(), matches);
  if (it == table_.rend()) return std::nullopt;
  StoredFile removed = std::move(*it);
  table_.erase(std::next(it).base());
  RemoveData(removed.id);
  SaveTable();
  return removed;
}

void FileStore::SaveTable() {
  if (folder_.empty()) return;
  std::string text;
  char line[64];
  for (const StoredFile& file : table_) {
    std::snprintf(line, sizeof line, "%04X %u %d\n", unsigned{file.id}, file.location,
                  file.complete ? 1 : 0);
    text += line;
  }
  std::error_code ec;
  if (!WriteWhole(folder_ / kTableName, text, ec)) WarnAbout("saving the file table", ec);
}

void FileStore::SaveData(const StoredFile& file) {
  if (folder_.empty()) return;
  std::error_code ec;
  if (!WriteWhole(folder_ / DeviceFileName(file.id), file.data, ec))
    WarnAbout("saving " + DeviceFileName(file.id), ec);
}

void FileStore::RemoveData(uint16_t id) {
  if (folder_.empty()) return;
  std::error_code ec;
  std::filesystem::remove(folder_ / DeviceFileName(id), ec);
  if (ec) WarnAbout("removing " + DeviceFileName(id), ec);
}

void FileStore::WarnAbout(const std::string& what, const std::error_code& ec) {
  if (warn_) warn_(what + ": " + ec.message());
}

}  // namespace mzt::devsim
