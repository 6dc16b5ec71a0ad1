#include "support/memory_system.h"

#include <algorithm>
#include <stdexcept>

#include "base/ascii_case.h"
#include "base/text.h"
#include "platform/file_error.h"

namespace quillfen::testing {

namespace {

// The system's errors, with the codes and words Windows gives them.
struct SystemError {
  std::int64_t code;
  const char* description;
};
constexpr SystemError kNotFound{2, "The system cannot find the file specified"};
constexpr SystemError kPathNotFound{3, "The system cannot find the path specified"};
constexpr SystemError kAccessDenied{5, "Access is denied"};
constexpr SystemError kSharing{
    32, "The process cannot access the file because it is being used by another process"};
constexpr SystemError kInjected{
    1117, "The request could not be performed because of an I/O device error"};

FileError Failed(FileAction action, const std::string& path, SystemError error) {
  return SystemFileError(action, path, error.code, error.description);
}
FileError CannotOpen(const std::string& path, SystemError error) {
  return Failed(FileAction::kOpen, path, error);
}
FileError CannotCreate(const std::string& path, SystemError error) {
  return Failed(FileAction::kCreate, path, error);
}
FileError CannotDelete(const std::string& path, SystemError error) {
  return Failed(FileAction::kDelete, path, error);
}
FileError CannotList(const std::string& folder, SystemError error) {
  return Failed(FileAction::kList, folder, error);
}

}  // namespace

// 2020-01-01 12:00:00 UTC and an odd 100 ns beyond, so that a time rounded
// anywhere comes back different.
MemorySystem::MemorySystem(char separator)
    : separator_(separator),
      exe_folder_(separator == '\\' ? "C:\\Program Files\\Quillfen\\" : "/opt/quillfen/"),
      clock_(132'223'536'000'000'000 + 1'234'567) {
  if (separator_ != '\\') {
    Node root;
    root.name = "/";
    root.is_folder = true;
    nodes_["/"] = root;
  }
}

// The key of the folder that holds a key's node: a drive ("C:") or the root
// ("/") for a node right below it; empty for a drive or the root itself.
std::string MemorySystem::ParentKey(const std::string& key) const {
  const auto sep = key.rfind(separator_);
  if (sep == std::string::npos || key == "/") return {};
  if (separator_ != '\\' && sep == 0) return "/";
  if (sep == 2 && key[1] == ':') return key.substr(0, 2);
  return key.substr(0, sep);
}

// A path's last name.
std::string MemorySystem::NameOf(const std::string& path) const {
  return path.substr(path.rfind(separator_) + 1);
}

// The upper-case path without a trailing backslash, with each name's trailing
// dots and spaces dropped and a short name replaced by the long one, as Windows
// resolves paths.
std::string MemorySystem::Key(const std::string& path) const {
  std::string key;
  std::size_t start = 0;
  const std::string upper = UpperAscii(path);
  while (start <= upper.size()) {
    std::size_t end = upper.find(separator_, start);
    if (end == std::string::npos) end = upper.size();
    std::string name = upper.substr(start, end - start);
    if (name != "." && name != "..") {
      while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    }
    if (!key.empty() || start > 0) key += separator_;
    key += name;
    const auto alias = short_names_.find(key);
    if (alias != short_names_.end()) key = alias->second;
    start = end + 1;
  }
  while (key.size() > (separator_ == '\\' ? 2u : 1u) && key.back() == separator_) key.pop_back();
  return key;
}

void MemorySystem::Step() {
  ++system_calls_;
  if (crash_after_ > 0 && system_calls_ > crash_after_) throw SimulatedCrash{};
}

void MemorySystem::CrashAfter(int call_number, bool torn) {
  crash_after_ = call_number;
  torn_ = torn;
  system_calls_ = 0;
  if (call_number == 0) {
    if (lose_unsynced_) RestoreDurable();
    for (auto& [key, node] : nodes_) node.held = false;
  }
}

void MemorySystem::LoseUnsyncedAtCrash(bool lose) {
  lose_unsynced_ = lose;
  durable_.clear();
  departed_.clear();
  if (lose) {
    for (const auto& [key, node] : nodes_) Settle(key);
  }
}

std::uint64_t MemorySystem::IdOf(Node& node) {
  if (node.id == 0) node.id = next_id_++;
  return node.id;
}

void MemorySystem::Settle(const std::string& key) {
  if (!lose_unsynced_) return;
  auto it = nodes_.find(key);
  if (it == nodes_.end()) {
    durable_.erase(key);
  } else {
    durable_[key] = {IdOf(it->second), it->second.name};
  }
}

void MemorySystem::Departs(const Node& node) {
  if (lose_unsynced_ && node.id != 0) departed_[node.id] = node;
}

// The files as a new start finds them: each durable name with the file it
// named, wherever that file is now or whatever replaced it since.
void MemorySystem::RestoreDurable() {
  std::map<std::uint64_t, const Node*> live;
  for (const auto& [key, node] : nodes_) {
    if (node.id != 0) live[node.id] = &node;
  }
  std::map<std::string, Node> kept;
  for (const auto& [key, entry] : durable_) {
    const auto now = live.find(entry.id);
    const auto gone = departed_.find(entry.id);
    if (now != live.end()) {
      kept[key] = *now->second;
    } else if (gone != departed_.end()) {
      kept[key] = gone->second;
    } else {
      continue;
    }
    kept[key].name = entry.name;
  }
  nodes_ = std::move(kept);
  departed_.clear();
  profiles_.clear();
}

void MemorySystem::SyncFolder(const std::string& folder) {
  Step();
  ++folder_syncs_;
  if (!lose_unsynced_) return;
  const std::string parent = Key(folder);
  for (auto it = durable_.begin(); it != durable_.end();) {
    if (ParentKey(it->first) == parent && nodes_.find(it->first) == nodes_.end()) {
      it = durable_.erase(it);
    } else {
      ++it;
    }
  }
  for (const auto& [key, node] : nodes_) {
    if (ParentKey(key) == parent) Settle(key);
  }
}

bool MemorySystem::TearsHere() {
  return torn_ && crash_after_ > 0 && system_calls_ == crash_after_;
}

// A file held by an operation: reads and writes go to the node itself, so the
// content seen is always the disk's.
class MemorySystem::Held : public HeldFile {
 public:
  Held(MemorySystem& system, std::string path) : system_(system), path_(std::move(path)) {}
  ~Held() override {
    if (Node* node = system_.Find(path_)) node->held = false;
  }
  std::int64_t Size() override { return system_.FileSize(path_); }
  std::span<const std::uint8_t> Content() override {
    system_.CountCall(Op::Read, path_, false);
    Node& node = Self();
    if (node.reported_size >= 0) throw std::logic_error("a file of gigabytes read whole: " + path_);
    // Read once: what the hold writes it also keeps, so the content stays the disk's.
    if (!read_) system_.bytes_read_ += static_cast<std::int64_t>(node.content.size());
    read_ = true;
    return node.content;
  }
  void WriteAt(std::int64_t position, std::span<const std::uint8_t> bytes) override {
    const bool tears = system_.TearsHere();
    Node* node = system_.Find(path_);
    if (tears && node && position >= 0 &&
        position + static_cast<std::int64_t>(bytes.size()) <=
            static_cast<std::int64_t>(node->content.size())) {
      std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>((bytes.size() + 1) / 2),
                node->content.begin() + position);
    }
    system_.CountCall(Op::WriteAt, path_, false);
    Node& held = Self();
    if (position < 0 || position + static_cast<std::int64_t>(bytes.size()) >
                            static_cast<std::int64_t>(held.content.size())) {
      throw std::logic_error("in-place write outside the file: " + path_);
    }
    std::copy(bytes.begin(), bytes.end(), held.content.begin() + position);
    held.time = system_.Tick();
    system_.bytes_written_ += static_cast<std::int64_t>(bytes.size());
  }
  TimeStamp ModificationTime() override {
    system_.Step();
    return Self().time;
  }
  bool SetModificationTime(const TimeStamp& time) override {
    system_.Step();
    if (!time || system_.refuse_times_) return false;
    Self().time = *time;
    return true;
  }

 private:
  Node& Self() {
    Node* node = system_.Find(path_);
    if (!node || !node->held) throw std::logic_error("a held file went away: " + path_);
    return *node;
  }
  MemorySystem& system_;
  std::string path_;
  bool read_ = false;
};

MemorySystem::Node* MemorySystem::Find(const std::string& path) {
  auto it = nodes_.find(Key(path));
  return it == nodes_.end() ? nullptr : &it->second;
}

const MemorySystem::Node* MemorySystem::Find(const std::string& path) const {
  auto it = nodes_.find(Key(path));
  return it == nodes_.end() ? nullptr : &it->second;
}

FileTime MemorySystem::Tick() {
  clock_ += 20'000'001;  // two seconds and 100 ns later
  return clock_;
}

void MemorySystem::AddDrive(char letter, int drive_type) {
  drives_[UpperAscii(letter)] = drive_type;
  Node root;
  root.name = std::string(1, UpperAscii(letter)) + ":";
  root.is_folder = true;
  nodes_[root.name] = root;
}

void MemorySystem::AddFolder(const std::string& path, std::uint32_t attributes) {
  const std::string key = Key(path);
  if (key == "/") return;  // the root is always there
  if (separator_ == '\\' && key.size() <= 2) {
    AddDrive(key[0]);
    return;
  }
  const std::string parent = ParentKey(key);
  if (!Find(parent)) {
    AddFolder(path.substr(0, std::min(path.size(), parent.size())));
  }
  Node& node = nodes_[key];
  node.is_folder = true;
  node.attributes = attributes | kAttrDirectory;
  std::string trimmed = path;
  while (!trimmed.empty() && trimmed.back() == separator_) trimmed.pop_back();
  node.name = NameOf(trimmed);
  Settle(key);
}

void MemorySystem::AddFile(const std::string& path, const Bytes& content,
                           std::uint32_t attributes) {
  profiles_.clear();
  const std::string key = Key(path);
  const std::string parent = ParentKey(key);
  if (!Find(parent)) AddFolder(path.substr(0, parent.size()));
  Node& node = nodes_[key];
  node.is_folder = false;
  node.attributes = attributes;
  node.content = content;
  node.time = Tick();
  node.name = NameOf(path);
  Settle(key);
}

void MemorySystem::AddFile(const std::string& path, const std::string& text,
                           std::uint32_t attributes) {
  AddFile(path, Bytes(text.begin(), text.end()), attributes);
}

void MemorySystem::SetAttributes(const std::string& path, std::uint32_t attributes) {
  Node* node = Find(path);
  if (!node) throw std::logic_error("no such node: " + path);
  node->attributes = attributes | (node->is_folder ? kAttrDirectory : 0);
}

void MemorySystem::SetReportedSize(const std::string& path, std::int64_t size) {
  Node* node = Find(path);
  if (!node || node->is_folder) throw std::logic_error("no such file: " + path);
  node->reported_size = size;
}

void MemorySystem::AddShortName(const std::string& path, const std::string& short_path) {
  if (!Find(path)) throw std::logic_error("no such node: " + path);
  short_names_[Key(short_path)] = Key(path);
}

void MemorySystem::Hold(const std::string& path, Holder holder) {
  Node* node = Find(path);
  if (!node) throw std::logic_error("no such file: " + path);
  node->holder = holder;
}

void MemorySystem::SetLinkCount(const std::string& path, int links) {
  Node* node = Find(path);
  if (!node || node->is_folder) throw std::logic_error("no such file: " + path);
  node->links = links;
}

const Bytes& MemorySystem::Content(const std::string& path) const {
  const Node* node = Find(path);
  if (!node || node->is_folder) throw std::logic_error("no such file: " + path);
  return node->content;
}

std::string MemorySystem::TextOf(const std::string& path) const {
  const Bytes& content = Content(path);
  return std::string(content.begin(), content.end());
}

FileTime MemorySystem::TimeOf(const std::string& path) const {
  const Node* node = Find(path);
  if (!node) throw std::logic_error("no such file: " + path);
  return node->time;
}

void MemorySystem::CountCall(Op op, const std::string& path, bool create) {
  Step();
  ++file_calls_;
  if (file_calls_ == fail_call_ || (fail_when_ && fail_when_(op, path))) {
    throw create ? CannotCreate(path, kInjected) : CannotOpen(path, kInjected);
  }
}

std::string MemorySystem::ReadProfileString(const std::string& section, const std::string& key,
                                            const std::string& path) {
  const Node* node = Find(path);
  if (!node || node->is_folder) return {};
  auto cached = profiles_.find(Key(path));
  if (cached == profiles_.end()) {
    const std::string text(node->content.begin(), node->content.end());
    cached = profiles_.emplace(Key(path), Profile::Parse(text)).first;
  }
  return cached->second.Value(section, key);
}

bool MemorySystem::FileExists(const std::string& path) {
  Step();
  const Node* node = Find(path);
  return node && !node->is_folder;
}

bool MemorySystem::FolderExists(const std::string& path) {
  Step();
  const Node* node = Find(path);
  return node && node->is_folder;
}

std::int64_t MemorySystem::FileSize(const std::string& path) {
  CountCall(Op::FileSize, path, false);
  const Node* node = Find(path);
  if (!node || node->is_folder) throw CannotOpen(path, kNotFound);
  if (node->reported_size >= 0) return node->reported_size;
  return static_cast<std::int64_t>(node->content.size());
}

Bytes MemorySystem::ReadWholeFile(const std::string& path) {
  CountCall(Op::Read, path, false);
  const Node* node = Find(path);
  if (!node || node->is_folder) throw CannotOpen(path, kNotFound);
  if (node->holder == Holder::Writing || node->held) {
    throw CannotOpen(path, kSharing);
  }
  if (node->reported_size >= 0) throw std::logic_error("a file of gigabytes read whole: " + path);
  bytes_read_ += static_cast<std::int64_t>(node->content.size());
  return node->content;
}

std::unique_ptr<FileBytes> MemorySystem::ViewFile(const std::string& path) {
  // The file's bytes as ReadWholeFile reads them, kept by the view.
  class View : public FileBytes {
   public:
    explicit View(Bytes bytes) : bytes_(std::move(bytes)) {}
    std::span<const std::uint8_t> Content() override { return bytes_; }

   private:
    Bytes bytes_;
  };
  return std::make_unique<View>(ReadWholeFile(path));
}

void MemorySystem::WriteWholeFile(const std::string& path, const Bytes& content) {
  profiles_.clear();
  const bool tears = TearsHere();
  try {
    CountCall(Op::Write, path, true);
  } catch (const SimulatedCrash&) {
    if (tears) {
      CheckCreatable(path);
      Node& cut = nodes_[Key(path)];
      if (cut.name.empty()) cut.name = NameOf(path);
      cut.content.assign(content.begin(),
                         content.begin() + static_cast<std::ptrdiff_t>(content.size() / 2));
    }
    throw;
  }
  CheckCreatable(path);
  Node* node = Find(path);
  if (!node) {
    node = &nodes_[Key(path)];
    node->name = NameOf(path);
    const auto to_come = short_names_to_come_.find(Key(path));
    if (to_come != short_names_to_come_.end()) short_names_[Key(to_come->second)] = Key(path);
  }
  if (lose_writes_) return;
  node->content = content;
  node->time = Tick();
  bytes_written_ += static_cast<std::int64_t>(content.size());
}

void MemorySystem::MoveOver(const std::string& from, const std::string& to) {
  profiles_.clear();
  CountCall(Op::Move, to, true);
  const Node* source = Find(from);
  if (!source || source->is_folder) throw CannotCreate(to, kNotFound);
  if (source->holder != Holder::None) throw CannotCreate(to, kSharing);
  CheckCreatable(to);
  if (Key(from) == Key(to)) return;
  Node moved = *source;
  moved.name = NameOf(to);
  if (const Node* target = Find(to)) {
    moved.name = target->name;
    Departs(*target);
  }
  nodes_.erase(Key(from));
  nodes_[Key(to)] = moved;
}

std::string MemorySystem::FileIdentity(const std::string& path) {
  Step();
  const Node* node = Find(path);
  return (node && !node->is_folder ? "file:" : "path:") + Key(path);
}

// Refuses what opening an existing file for writing with no sharing refuses.
void MemorySystem::CheckWritable(const std::string& path) {
  const Node* node = Find(path);
  if (!node || node->is_folder) throw CannotOpen(path, kNotFound);
  if (node->attributes & kAttrReadOnly) throw CannotOpen(path, kAccessDenied);
  if (node->holder != Holder::None || node->held) throw CannotOpen(path, kSharing);
}

Refusal MemorySystem::CreateRefusal(const std::string& path) {
  try {
    CountCall(Op::CreateRefusal, path, true);
    CheckCreatable(path);
    return std::nullopt;
  } catch (const FileError& error) {
    return error;
  }
}

// Refuses what creating a file anew with no sharing refuses.
void MemorySystem::CheckCreatable(const std::string& path) {
  const Node* node = Find(path);
  if (node && (node->is_folder || (node->attributes & kAttrReparsePoint))) {
    throw CannotCreate(path, kAccessDenied);
  }
  if (node && (node->attributes & kAttrReadOnly)) throw CannotCreate(path, kAccessDenied);
  if (node && node->links > 1) {
    throw OwnFileError(FileAction::kCreate, path, FileCause::kOtherNames, node->links);
  }
  if (node && node->holder != Holder::None) throw CannotCreate(path, kSharing);
  const Node* parent = Find(ParentKey(Key(path)));
  if (!parent || !parent->is_folder || (parent->attributes & kAttrReadOnly)) {
    throw CannotCreate(path, parent ? kAccessDenied : kPathNotFound);
  }
}

TimeStamp MemorySystem::ModificationTime(const std::string& path) {
  Step();
  const Node* node = Find(path);
  if (!node || node->is_folder) return std::nullopt;
  return node->time;
}

bool MemorySystem::SetModificationTime(const std::string& path, const TimeStamp& time) {
  Step();
  Node* node = Find(path);
  if (!node || node->is_folder || !time || refuse_times_ || node->holder != Holder::None ||
      (node->attributes & kAttrReadOnly)) {
    return false;
  }
  node->time = *time;
  return true;
}

void MemorySystem::RemoveFile(const std::string& path) {
  profiles_.clear();
  CountCall(Op::Remove, path, false);
  Node* node = Find(path);
  if (!node) return;
  if (node->is_folder || (node->attributes & kAttrReadOnly)) {
    throw CannotDelete(path, kAccessDenied);
  }
  if (node->holder != Holder::None || node->held) {
    throw CannotDelete(path, kSharing);
  }
  Departs(*node);
  nodes_.erase(Key(path));
}

Refusal MemorySystem::RemoveRefusal(const std::string& path) {
  CountCall(Op::RemoveRefusal, path, false);
  const Node* node = Find(path);
  if (!node) return std::nullopt;
  if (node->is_folder || (node->attributes & kAttrReadOnly)) {
    return CannotDelete(path, kAccessDenied);
  }
  if (node->holder != Holder::None || node->held) return CannotDelete(path, kSharing);
  return std::nullopt;
}

std::unique_ptr<HeldFile> MemorySystem::HoldFile(const std::string& path) {
  CountCall(Op::Hold, path, false);
  Node* node = Find(path);
  if (!node || node->is_folder) throw CannotOpen(path, kNotFound);
  if (node->attributes & kAttrReparsePoint) throw LinkedFileError(path, FileCause::kReparsePoint);
  if (node->links > 1) throw LinkedFileError(path, FileCause::kOtherNames, node->links);
  if (node->attributes & kAttrReadOnly) throw CannotOpen(path, kAccessDenied);
  if (node->holder != Holder::None || node->held) throw CannotOpen(path, kSharing);
  node->held = true;
  return std::make_unique<Held>(*this, path);
}

std::vector<SearchPlace> MemorySystem::SearchRoots() {
  std::vector<SearchPlace> roots;
  if (separator_ != '\\') return {{"/", true}};
  for (const auto& [letter, type] : drives_) {
    if (type == kDriveFixed) roots.push_back({std::string(1, letter) + ":\\", false});
  }
  return roots;
}

FolderListing MemorySystem::ListFolder(const std::string& folder) {
  listed_.push_back(folder);
  const std::string folder_key = Key(folder);
  const Node* node = Find(folder_key);
  if (folder.empty() || folder.back() != separator_ || !node || !node->is_folder) {
    return {{}, CannotList(folder, kPathNotFound)};
  }
  // The short name each long one has, as the listing reports it.
  std::map<std::string, std::string> short_of;
  for (const auto& [short_key, long_key] : short_names_) short_of[long_key] = short_key;
  std::vector<DirEntry> entries;
  // Children in name order, as NTFS lists them.
  const std::string prefix =
      folder_key.ends_with(separator_) ? folder_key : folder_key + separator_;
  for (auto it = nodes_.lower_bound(prefix); it != nodes_.end(); ++it) {
    if (it->first.compare(0, prefix.size(), prefix) != 0) break;
    // The root "/" is its own prefix, and no entry of itself.
    if (it->first.size() == prefix.size()) continue;
    if (it->first.find(separator_, prefix.size()) != std::string::npos) continue;
    const std::uint32_t attributes = it->second.attributes;
    const auto alias = short_of.find(it->first);
    entries.push_back(
        {it->second.name,
         alias == short_of.end() ? std::string() : alias->second.substr(prefix.size()),
         it->second.is_folder, (attributes & (kAttrHidden | kAttrSystem | kAttrVolumeLabel)) != 0,
         (attributes & kAttrReparsePoint) != 0});
  }
  return {std::move(entries), std::nullopt};
}

bool MemorySystem::SameTextNoCase(const std::string& a, const std::string& b) {
  return SameAsciiNoCase(a, b);
}

}  // namespace quillfen::testing
