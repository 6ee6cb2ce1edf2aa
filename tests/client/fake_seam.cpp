#include "fake_seam.h"

#include "device/device_state.h"
#include "hostlink/host_link_state.h"
#include "platform/unique_handle.h"
#include "protocol/host_protocol.h"
#include "tools/common/text.h"
#include "tools/orvekport/run.h"

namespace orvek::clitest {
namespace {

std::u16string wide(const std::string& utf8) { return tools::utf16_of(utf8); }

class FakeProgram final : public cli::StartedProgram {
 public:
  std::uint32_t id() const override { return 7; }
  bool ended() override { return false; }
};

}  // namespace

// ---- FakeSystem ---------------------------------------------------------------

void FakeSystem::write(const std::string& path, const std::string& bytes) {
  os_.set_file(wide(path), bytes);
  written_[path] = ++writes_;
}

std::optional<std::string> FakeSystem::host_path() {
  platform::UniqueRegKey key(os_);
  char16_t path[512] = {};
  std::uint32_t bytes = sizeof path - 2;
  if (!os_.reg_open_key(protocol::kHostRegistryKey, key.put()) ||
      !os_.reg_query_value(key.get(), protocol::kHostPathValue, path, &bytes))
    return std::nullopt;
  return tools::utf8_of(path);
}

bool FakeSystem::set_host_path(const std::string& exe, std::string*) {
  os_.set_registry_string(protocol::kHostRegistryKey, protocol::kHostPathValue,
                          wide(exe));
  return true;
}

std::optional<std::string> FakeSystem::read_file(const std::string& path) {
  return os_.file(wide(path));
}

// The packet files' write times count the writes of their writers: the
// library's of the request, the host's of the reply.
std::optional<std::uint64_t> FakeSystem::written_at(const std::string& path) {
  std::u16string name = wide(path);
  if (!os_.file(name)) return std::nullopt;
  if (name == host_.request_path()) return os_.count(platform::fake::Op::WriteFile);
  if (name == host_.reply_path()) return replies_written;
  return written_[path];
}

bool FakeSystem::exists(const std::string& path) {
  std::uint32_t attributes = 0;
  return os_.file_attributes(wide(path).c_str(), &attributes);
}

bool FakeSystem::is_directory(const std::string& path) {
  std::uint32_t attributes = 0;
  return os_.file_attributes(wide(path).c_str(), &attributes) &&
         (attributes & platform::kFileAttributeDirectory) != 0;
}

bool FakeSystem::create_directory(const std::string& path) {
  os_.add_directory(wide(path));
  return true;
}

bool FakeSystem::copy_file(const std::string& from, const std::string& to) {
  std::optional<std::string> bytes = read_file(from);
  if (bytes) write(to, *bytes);
  return bytes.has_value();
}

bool FakeSystem::write_file_whole(const std::string& path,
                                  const std::string& bytes, std::string* error) {
  if (path.starts_with("Q:")) {
    *error = "can't create " + path + ".tmp7: no such drive";
    return false;
  }
  write(path, bytes);
  return true;
}

std::optional<std::vector<cli::GpxWaypoint>> FakeSystem::read_gpx_waypoints(
    const std::string& path, std::string* error) {
  if (gpx_files.count(path)) return gpx_files[path];
  *error = "can't open it: no such file";
  return std::nullopt;
}

std::string FakeSystem::to_code_page_lossy(const std::string& utf8) {
  std::string bytes;
  for (std::size_t at = 0; at < utf8.size();) {
    std::optional<char32_t> c = tools::next_code_point(utf8, &at);
    bytes += c && *c <= 0xFF ? static_cast<char>(*c) : '?';
  }
  return bytes;
}

std::string FakeSystem::from_code_page(const std::string& bytes) {
  std::string utf8;
  for (char c : bytes) tools::append_utf8(&utf8, static_cast<unsigned char>(c));
  return utf8;
}

std::unique_ptr<cli::StartedProgram> FakeSystem::start_program(
    const std::string& exe, const std::string&) {
  if (!exists(exe)) return nullptr;
  if (started_program_shows_window) host_.start();
  return std::make_unique<FakeProgram>();
}

// ---- World --------------------------------------------------------------------

World::World() {
  hostlink::ResetHostLinkState();
  device::ResetDeviceState();
  host.answer = [this](const std::string& line) {
    ++system.replies_written;
    for (const auto& [prefix, reply] : answers)
      if (line.starts_with(prefix)) return reply;
    return model.answer(line);
  };
  model.set_file_writer([this](const std::string& name, const std::string& bytes) {
    system.write("C:\\Orvek\\" + name, bytes);
    return std::string();
  });
  host.start();
  os.free_space[u"C:\\"] = 5ULL << 30;
}

World::~World() {
  hostlink::ResetHostLinkState();
  device::ResetDeviceState();
}

int World::run(std::vector<std::string> argv) {
  system.out.clear();
  system.err.clear();
  host.requests.clear();
  return cli::run_client(std::move(argv), library, system);
}

void World::answer(std::string prefix, std::string reply) {
  answers[std::move(prefix)] = std::move(reply);
}

}  // namespace orvek::clitest
