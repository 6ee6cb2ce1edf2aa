// The real backend: each operation is the Win32 call of the same name.
// Calls that exist only on Windows CE are adapted here and nowhere else.
#include "platform/win32/win32_platform.h"

#include <windows.h>
#include <shellapi.h>

namespace orvek::platform {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 wide text is UTF-16");

const wchar_t* wide(const char16_t* text) {
  return reinterpret_cast<const wchar_t*>(text);
}
HANDLE to_native(Handle handle) { return reinterpret_cast<HANDLE>(handle); }
Handle from_native(HANDLE handle) { return reinterpret_cast<Handle>(handle); }

// KernelIoControl lives in the CE core library only; desktop Windows and
// Wine have none, so the device id query then fails like a refused call.
using KernelIoControlFn = BOOL(WINAPI*)(DWORD, void*, DWORD, void*, DWORD,
                                        DWORD*);
constexpr DWORD kIoctlHalGetDeviceId = 0x01010054;

KernelIoControlFn find_kernel_io_control() {
  HMODULE core = GetModuleHandleW(L"coredll.dll");
  if (core == nullptr) return nullptr;
  return reinterpret_cast<KernelIoControlFn>(
      reinterpret_cast<void*>(GetProcAddress(core, "KernelIoControl")));
}

class Win32Platform final : public Platform {
 public:
  bool reg_open_key(const char16_t* subkey, Handle* key) override {
    HKEY opened = nullptr;
    LONG result = RegOpenKeyExW(HKEY_LOCAL_MACHINE, wide(subkey), 0,
                                KEY_QUERY_VALUE, &opened);
    *key = result == ERROR_SUCCESS ? reinterpret_cast<Handle>(opened)
                                   : kNullHandle;
    return result == ERROR_SUCCESS;
  }
  bool reg_query_value(Handle key, const char16_t* name, void* data,
                       std::uint32_t* size_bytes) override {
    DWORD size = *size_bytes;
    LONG result = RegQueryValueExW(reinterpret_cast<HKEY>(key), wide(name),
                                   nullptr, nullptr,
                                   static_cast<BYTE*>(data), &size);
    if (result != ERROR_SUCCESS) return false;
    *size_bytes = size;
    return true;
  }
  void reg_close_key(Handle key) override {
    RegCloseKey(reinterpret_cast<HKEY>(key));
  }

  Handle find_window(const char16_t* class_name) override {
    return reinterpret_cast<Handle>(FindWindowW(wide(class_name), nullptr));
  }
  bool shell_open(const char16_t* path) override {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    // The library never shows anything: without this flag a failed start
    // opens a modal error box that blocks the caller until dismissed.
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"Open";
    info.lpFile = wide(path);
    info.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&info) != FALSE;
  }
  bool post_message(Handle window, std::uint32_t message,
                    std::uintptr_t wparam, std::intptr_t lparam) override {
    return PostMessageW(reinterpret_cast<HWND>(window), message, wparam,
                        lparam) != FALSE;
  }
  void sleep_ms(std::uint32_t ms) override { Sleep(ms); }

  Handle create_file(const char16_t* path, std::uint32_t access,
                     std::uint32_t share, Disposition disposition) override {
    return from_native(CreateFileW(wide(path), access, share, nullptr,
                                   static_cast<DWORD>(disposition),
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  bool write_file(Handle file, const void* data, std::uint32_t size,
                  std::uint32_t* written) override {
    DWORD count = 0;
    BOOL ok = WriteFile(to_native(file), data, size, &count, nullptr);
    *written = count;
    return ok != FALSE;
  }
  bool read_file(Handle file, void* data, std::uint32_t size,
                 std::uint32_t* read) override {
    DWORD count = 0;
    BOOL ok = ReadFile(to_native(file), data, size, &count, nullptr);
    *read = count;
    return ok != FALSE;
  }
  bool seek_file(Handle file, std::uint32_t offset) override {
    LONG high = 0;
    return SetFilePointer(to_native(file), static_cast<LONG>(offset), &high,
                          FILE_BEGIN) != INVALID_SET_FILE_POINTER ||
           GetLastError() == NO_ERROR;
  }
  bool file_attributes(const char16_t* path,
                       std::uint32_t* attributes) override {
    DWORD found = GetFileAttributesW(wide(path));
    *attributes = found == INVALID_FILE_ATTRIBUTES ? 0 : found;
    return found != INVALID_FILE_ATTRIBUTES;
  }
  void close_handle(Handle handle) override { CloseHandle(to_native(handle)); }

  Handle create_event(const char16_t* name) override {
    return from_native(CreateEventW(nullptr, FALSE, FALSE, wide(name)));
  }
  // EventModify(EVENT_RESET) on Windows CE.
  bool reset_event(Handle event) override {
    return ResetEvent(to_native(event)) != FALSE;
  }
  std::uint32_t wait(Handle object, std::uint32_t timeout_ms) override {
    return WaitForSingleObject(to_native(object), timeout_ms);
  }
  Handle create_mutex(const char16_t* name) override {
    return from_native(CreateMutexW(nullptr, FALSE, wide(name)));
  }
  bool release_mutex(Handle mutex) override {
    return ReleaseMutex(to_native(mutex)) != FALSE;
  }
  bool file_write_time(const char16_t* path, std::uint64_t* time) override {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(wide(path), GetFileExInfoStandard, &data))
      return false;
    *time = (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
            data.ftLastWriteTime.dwLowDateTime;
    return true;
  }

  WindowCheck window_owner(Handle window, WindowOwner* owner) override {
    DWORD process_id = 0;
    if (GetWindowThreadProcessId(reinterpret_cast<HWND>(window),
                                 &process_id) == 0)
      return GetLastError() == ERROR_INVALID_WINDOW_HANDLE
                 ? WindowCheck::kGone
                 : WindowCheck::kUnknown;
    owner->process_id = process_id;
    owner->process_started = 0;
    // A process that can't be asked is known by its id alone.
    HANDLE process =
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id);
    if (process != nullptr) {
      FILETIME created, exited, kernel, user;
      if (GetProcessTimes(process, &created, &exited, &kernel, &user))
        owner->process_started =
            (std::uint64_t{created.dwHighDateTime} << 32) |
            created.dwLowDateTime;
      CloseHandle(process);
    }
    return WindowCheck::kOwned;
  }

  // SMTO_BLOCK: nothing is sent to this thread's own windows meanwhile;
  // SMTO_ABORTIFHUNG: a thread that has not looked at its messages for
  // seconds is not waited for.
  WindowReply send_null_message(Handle window,
                                std::uint32_t timeout_ms) override {
    DWORD_PTR result = 0;
    SetLastError(ERROR_SUCCESS);
    if (SendMessageTimeoutW(reinterpret_cast<HWND>(window), WM_NULL, 0, 0,
                            SMTO_BLOCK | SMTO_ABORTIFHUNG, timeout_ms,
                            &result) != 0)
      return WindowReply::kAnswered;
    return GetLastError() == ERROR_INVALID_WINDOW_HANDLE ? WindowReply::kGone
                                                         : WindowReply::kBusy;
  }

  bool create_process(const char16_t* path, Handle* process,
                      Handle* thread) override {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(wide(path), nullptr, nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &info)) {
      *process = kNullHandle;
      *thread = kNullHandle;
      return false;
    }
    *process = from_native(info.hProcess);
    *thread = from_native(info.hThread);
    return true;
  }

  // Looked up on every call: a cached pointer would be state to guard, and
  // the identifier is worked out once per process anyway.
  bool device_id(void* buffer, std::uint32_t size,
                 std::uint32_t* returned) override {
    const KernelIoControlFn kernel_io_control = find_kernel_io_control();
    *returned = 0;
    if (kernel_io_control == nullptr) return false;
    DWORD count = 0;
    BOOL ok = kernel_io_control(kIoctlHalGetDeviceId, nullptr, 0, buffer, size,
                                &count);
    *returned = count;
    return ok != FALSE;
  }

  bool disk_free_space(const char16_t* path,
                       std::uint64_t* free_bytes_available) override {
    ULARGE_INTEGER available{}, total{}, total_free{};
    if (!GetDiskFreeSpaceExW(wide(path), &available, &total, &total_free))
      return false;
    *free_bytes_available = available.QuadPart;
    return true;
  }

  int wide_to_ansi(const char16_t* text, char* out, int out_bytes) override {
    return WideCharToMultiByte(CP_ACP, 0, wide(text), -1, out, out_bytes,
                               nullptr, nullptr);
  }
  int ansi_to_wide(const char* text, char16_t* out, int out_units) override {
    return MultiByteToWideChar(CP_ACP, 0, text, -1,
                               reinterpret_cast<wchar_t*>(out), out_units);
  }

  void* allocate(std::size_t bytes) override {
    return HeapAlloc(GetProcessHeap(), 0, bytes);
  }
  void release(void* block) override { HeapFree(GetProcessHeap(), 0, block); }
};

// Constant-initialised: no constructor runs at load, no destructor at exit.
constinit Win32Platform backend;

}  // namespace

Platform& win32_platform() { return backend; }

}  // namespace orvek::platform
