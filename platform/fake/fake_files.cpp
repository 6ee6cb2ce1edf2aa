// Files and folders: in-memory contents, the sharing rules that decide
// whether an open succeeds, a file another program holds, and files that
// others remove or cut short from outside while they are open here.
#include "platform/fake/fake_platform.h"

#include <algorithm>
#include <cstring>

namespace orvek::platform::fake {

namespace {
std::u16string parent_of(const std::u16string& path) {
  std::size_t cut = path.rfind(u'\\');
  return cut == std::u16string::npos ? std::u16string{} : path.substr(0, cut);
}
}  // namespace

void FakePlatform::add_directory(const std::u16string& path) {
  directories_.insert(normalise(path));
}

FakePlatform::FileNode& FakePlatform::node_at(const std::u16string& path) {
  std::shared_ptr<FileNode>& node = files_[path];
  if (!node) node = std::make_shared<FileNode>();
  return *node;
}

void FakePlatform::set_file(const std::u16string& path, std::string contents) {
  FileNode& node = node_at(normalise(path));
  node.data = std::move(contents);
  node.written_ms = now_ms_;
}

void FakePlatform::remove_file(const std::u16string& path) {
  files_.erase(normalise(path));
}

void FakePlatform::truncate_file(const std::u16string& path,
                                 std::size_t bytes) {
  FileNode& node = node_at(normalise(path));
  if (node.data.size() > bytes) node.data.resize(bytes);
  node.written_ms = now_ms_;
}

std::optional<std::string> FakePlatform::file(const std::u16string& path) const {
  auto found = files_.find(normalise(path));
  if (found == files_.end()) return std::nullopt;
  return found->second->data;
}

void FakePlatform::hold_file(const std::u16string& path) {
  node_at(normalise(path)).held = true;
}

void FakePlatform::release_file(const std::u16string& path) {
  auto found = files_.find(normalise(path));
  if (found != files_.end()) found->second->held = false;
}

bool FakePlatform::parent_exists(const std::u16string& path) const {
  std::u16string parent = parent_of(path);
  return parent.empty() || directories_.count(parent) != 0;
}

bool FakePlatform::sharing_allows(const std::u16string& path,
                                  std::uint32_t access,
                                  std::uint32_t share) const {
  auto node = files_.find(path);
  if (node == files_.end()) return true;
  if (node->second->held) return false;
  for (const auto& [handle, object] : objects_) {
    if (object.kind != Kind::File || object.file.node != node->second) continue;
    const OpenFile& open = object.file;
    bool new_writes = access & kGenericWrite;
    bool new_reads = access & kGenericRead;
    if (new_writes && !(open.share & kFileShareWrite)) return false;
    if (new_reads && !(open.share & kFileShareRead)) return false;
    if ((open.access & kGenericWrite) && !(share & kFileShareWrite)) return false;
    if ((open.access & kGenericRead) && !(share & kFileShareRead)) return false;
  }
  return true;
}

Handle FakePlatform::create_file(const char16_t* path, std::uint32_t access,
                                 std::uint32_t share, Disposition disposition) {
  Call& call = record<Op::CreateFile>(path, kInvalidFile,
                                    FileOpen{access, share, disposition});
  std::u16string key = normalise(path);
  bool exists = files_.count(key) != 0;
  // A folder is not a file: opening one as a file is refused.
  bool ok = !should_fail(Op::CreateFile) && !directories_.count(key) &&
            sharing_allows(key, access, share);
  if (ok && disposition == Disposition::OpenExisting) ok = exists;
  if (ok && !exists) ok = parent_exists(key);
  if (!ok) {
    call.ok = false;
    return kInvalidFile;
  }
  FileNode& node = node_at(key);
  if (disposition == Disposition::CreateAlways || !exists) {
    node.data.clear();
    node.written_ms = now_ms_;
  }
  Handle handle = new_handle(
      Object{Kind::File, OpenFile{key, access, share, 0, files_[key]}, {}});
  call.handle = handle;
  return handle;
}

bool FakePlatform::write_file(Handle file, const void* data, std::uint32_t size,
                              std::uint32_t* written) {
  Call& call = record<Op::WriteFile>({}, file, ByteCount{size});
  *written = 0;
  auto object = objects_.find(file);
  call.ok = !should_fail(Op::WriteFile) && object != objects_.end() &&
            object->second.kind == Kind::File &&
            (object->second.file.access & kGenericWrite);
  if (!call.ok) return false;
  OpenFile& open = object->second.file;
  std::string& contents = open.node->data;
  if (contents.size() < open.position + size)
    contents.resize(open.position + size);
  std::memcpy(contents.data() + open.position, data, size);
  open.position += size;
  open.node->written_ms = now_ms_;
  *written = size;
  return true;
}

bool FakePlatform::read_file(Handle file, void* data, std::uint32_t size,
                             std::uint32_t* read) {
  Call& call = record<Op::ReadFile>({}, file, ByteCount{size});
  *read = 0;
  auto object = objects_.find(file);
  call.ok = !should_fail(Op::ReadFile) && object != objects_.end() &&
            object->second.kind == Kind::File &&
            (object->second.file.access & kGenericRead);
  if (!call.ok) return false;
  OpenFile& open = object->second.file;
  const std::string& contents = open.node->data;
  std::uint32_t available =
      open.position < contents.size()
          ? static_cast<std::uint32_t>(contents.size() - open.position)
          : 0;
  std::uint32_t count = std::min(size, available);
  if (count) std::memcpy(data, contents.data() + open.position, count);
  open.position += count;
  *read = count;
  return true;
}

bool FakePlatform::seek_file(Handle file, std::uint32_t offset) {
  Call& call = record<Op::SeekFile>({}, file, FileSeek{offset});
  auto object = objects_.find(file);
  call.ok = !should_fail(Op::SeekFile) && object != objects_.end() &&
            object->second.kind == Kind::File;
  if (call.ok) object->second.file.position = offset;
  return call.ok;
}

bool FakePlatform::file_attributes(const char16_t* path,
                                   std::uint32_t* attributes) {
  Call& call = record<Op::FileAttributes>(path);
  std::u16string key = normalise(path);
  *attributes = directories_.count(key) ? kFileAttributeDirectory
                : files_.count(key)     ? 0x80u  // FILE_ATTRIBUTE_NORMAL
                                        : 0u;
  call.ok = !should_fail(Op::FileAttributes) && *attributes != 0;
  return call.ok;
}

// The clock's milliseconds as FILETIME units.
bool FakePlatform::file_write_time(const char16_t* path, std::uint64_t* time) {
  Call& call = record<Op::FileWriteTime>(path);
  auto found = files_.find(normalise(path));
  call.ok = !should_fail(Op::FileWriteTime) && found != files_.end();
  if (call.ok) *time = found->second->written_ms * 10000;
  return call.ok;
}

void FakePlatform::close_handle(Handle handle) {
  Call& call = record<Op::CloseHandle>({}, handle);
  auto object = objects_.find(handle);
  call.ok = object != objects_.end() && object->second.kind != Kind::Key;
  if (call.ok) objects_.erase(object);
}

}  // namespace orvek::platform::fake
