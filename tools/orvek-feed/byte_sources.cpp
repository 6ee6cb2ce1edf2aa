// Winsock before <windows.h>, which would otherwise bring the old winsock.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include "byte_sources.h"

#include "gpsd_reports.h"
#include "tools/common/win_handle.h"
#include "tools/common/win_text.h"

namespace orvek::feed {
namespace {

// "error 2 (The system cannot find the file specified)"
std::string feed_error(DWORD code) {
  return tools::error_text(code, tools::ErrorForm::kNumberParentheses);
}

// Bytes taken per read: a few seconds of a 4800-baud receiver, a large
// piece of a log.
constexpr DWORD kChunkBytes = 16384;

struct SocketTraits {
  using Value = SOCKET;
  static Value none() { return INVALID_SOCKET; }
  void close(Value socket) const { closesocket(socket); }
};
using UniqueSocket = UniqueOwner<SocketTraits>;

// One read of up to kChunkBytes from a file or port, appended to `bytes`;
// `none` is what a read of no bytes means for that handle.
ReadResult read_chunk(HANDLE handle, std::string* bytes,
                                  ReadResult none,
                                  std::string* error) {
  char chunk[kChunkBytes];
  DWORD count = 0;
  if (!ReadFile(handle, chunk, sizeof chunk, &count, nullptr)) {
    *error = feed_error(GetLastError());
    return ReadResult::kError;
  }
  if (count == 0) return none;
  bytes->append(chunk, count);
  return ReadResult::kData;
}

class LogFileSource : public ByteSource {
 public:
  explicit LogFileSource(std::string path) : path_(std::move(path)) {}
  bool open(std::string* error) override {
    file_ = tools::file_handle(CreateFileW(
        tools::widen(CP_UTF8, path_).c_str(), GENERIC_READ,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_) *error = path_ + ": " + feed_error(GetLastError());
    return static_cast<bool>(file_);
  }
  ReadResult read(std::string* bytes, uint32_t, std::string* error) override {
    return read_chunk(file_.get(), bytes, ReadResult::kEnd, error);
  }
  void close() override { file_.reset(); }
  bool live() const override { return false; }

 private:
  std::string path_;
  tools::FileHandle file_;
};

// A serial receiver: 8 data bits, no parity, one stop bit. A read returns
// as soon as any byte is there, or after the wait.
class SerialSource : public ByteSource {
 public:
  SerialSource(std::string port, uint32_t baud) : port_(std::move(port)), baud_(baud) {}
  bool open(std::string* error) override {
    // "\\.\COM10" and above need the device namespace; it serves all.
    std::wstring device = L"\\\\.\\" + tools::widen(CP_UTF8, port_);
    port_handle_ = tools::file_handle(CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE,
                                                  0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!port_handle_) {
      *error = port_ + ": " + feed_error(GetLastError());
      return false;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (GetCommState(port_handle_.get(), &dcb)) {
      dcb.BaudRate = baud_;
      dcb.ByteSize = 8;
      dcb.Parity = NOPARITY;
      dcb.StopBits = ONESTOPBIT;
      dcb.fBinary = TRUE;
      dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = FALSE;
      dcb.fDtrControl = DTR_CONTROL_ENABLE;
      dcb.fRtsControl = RTS_CONTROL_ENABLE;
      dcb.fInX = dcb.fOutX = FALSE;
      if (!SetCommState(port_handle_.get(), &dcb)) {
        *error = port_ + ": rate " + std::to_string(baud_) + ": " +
                 feed_error(GetLastError());
        port_handle_.reset();
        return false;
      }
    }
    return true;
  }
  ReadResult read(std::string* bytes, uint32_t wait_ms, std::string* error) override {
    COMMTIMEOUTS timeouts{};
    // MAXDWORD interval and multiplier: return at the first byte, or after
    // the constant when none comes.
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = wait_ms;
    SetCommTimeouts(port_handle_.get(), &timeouts);
    return read_chunk(port_handle_.get(), bytes, ReadResult::kNothingYet, error);
  }
  void close() override { port_handle_.reset(); }
  bool live() const override { return true; }

 private:
  std::string port_;
  uint32_t baud_;
  tools::FileHandle port_handle_;
};

class WinsockSession {
 public:
  WinsockSession() { ok_ = WSAStartup(MAKEWORD(2, 2), &data_) == 0; }
  ~WinsockSession() {
    if (ok_) WSACleanup();
  }
  WinsockSession(const WinsockSession&) = delete;
  WinsockSession& operator=(const WinsockSession&) = delete;
  bool ok() const { return ok_; }

 private:
  WSADATA data_{};
  bool ok_ = false;
};

class TcpSource : public ByteSource {
 public:
  TcpSource(std::string host, uint16_t port, std::string greeting)
      : host_(std::move(host)), port_(port), greeting_(std::move(greeting)) {}
  bool open(std::string* error) override {
    if (!winsock_.ok()) {
      *error = "Winsock unavailable";
      return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    std::string service = std::to_string(port_);
    if (getaddrinfo(host_.c_str(), service.c_str(), &hints, &found) != 0 || !found) {
      *error = host_ + ": no such host";
      return false;
    }
    int last_error = 0;
    for (addrinfo* a = found; a && !socket_; a = a->ai_next) {
      socket_.reset(socket(a->ai_family, a->ai_socktype, a->ai_protocol));
      if (!socket_) continue;
      if (connect(socket_.get(), a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0) {
        last_error = WSAGetLastError();
        socket_.reset();
      }
    }
    freeaddrinfo(found);
    if (!socket_) {
      *error = host_ + ":" + service + ": " + feed_error(static_cast<DWORD>(last_error));
      return false;
    }
    if (!greeting_.empty() &&
        send(socket_.get(), greeting_.data(), static_cast<int>(greeting_.size()), 0) !=
            static_cast<int>(greeting_.size())) {
      *error = "send: " + feed_error(static_cast<DWORD>(WSAGetLastError()));
      socket_.reset();
      return false;
    }
    return true;
  }
  ReadResult read(std::string* bytes, uint32_t wait_ms, std::string* error) override {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket_.get(), &readable);
    timeval wait{static_cast<long>(wait_ms / 1000), static_cast<long>(wait_ms % 1000) * 1000};
    int ready = select(0, &readable, nullptr, nullptr, &wait);
    if (ready == 0) return ReadResult::kNothingYet;
    char chunk[kChunkBytes];
    int count = ready < 0 ? -1 : recv(socket_.get(), chunk, sizeof chunk, 0);
    if (count < 0) {
      *error = feed_error(static_cast<DWORD>(WSAGetLastError()));
      return ReadResult::kError;
    }
    if (count == 0) return ReadResult::kEnd;
    bytes->append(chunk, static_cast<std::size_t>(count));
    return ReadResult::kData;
  }
  void close() override { socket_.reset(); }
  bool live() const override { return true; }

 private:
  WinsockSession winsock_;
  std::string host_;
  uint16_t port_;
  std::string greeting_;
  UniqueSocket socket_;
};

}  // namespace


std::unique_ptr<ByteSource> make_byte_source(const FeedOptions& options) {
  switch (options.kind) {
    case SourceKind::kSerial:
      return std::make_unique<SerialSource>(options.source, options.baud);
    case SourceKind::kTcp:
      return std::make_unique<TcpSource>(options.host, options.port, "");
    case SourceKind::kGpsd:
      return std::make_unique<TcpSource>(options.host, options.port,
                                         std::string(GpsdReports::kWatchRequest));
    case SourceKind::kLogFile:
      break;
  }
  return std::make_unique<LogFileSource>(options.source);
}

}  // namespace orvek::feed
