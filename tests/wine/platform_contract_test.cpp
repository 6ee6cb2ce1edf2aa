// The Win32 backend keeps the same platform contract as the fake.
#include <windows.h>

#include <string>

#include "platform/win32/win32_platform.h"
#include "tests/support/platform_contract.h"

namespace {

std::u16string Utf16(const std::wstring& text) {
  return std::u16string(text.begin(), text.end());
}
const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

// Another owner of a named mutex: a thread that takes it and keeps it until
// told to let go, or ends holding it (which abandons it).
struct MutexHolder {
  std::wstring name;
  bool die_holding = false;
  HANDLE taken = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE let_go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = nullptr;

  ~MutexHolder() { finish(); CloseHandle(taken); CloseHandle(let_go); }
  static DWORD WINAPI run(void* self_pointer) {
    auto* self = static_cast<MutexHolder*>(self_pointer);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, self->name.c_str());
    WaitForSingleObject(mutex, INFINITE);
    SetEvent(self->taken);
    if (!self->die_holding) {
      WaitForSingleObject(self->let_go, INFINITE);
      ReleaseMutex(mutex);
    }
    CloseHandle(mutex);
    return 0;
  }
  void start(const std::wstring& mutex_name, bool die) {
    finish();
    name = mutex_name;
    die_holding = die;
    ResetEvent(taken);
    ResetEvent(let_go);
    thread = CreateThread(nullptr, 0, run, this, 0, nullptr);
    WaitForSingleObject(taken, 5000);
    if (die) WaitForSingleObject(thread, 5000);
  }
  void finish() {
    if (thread == nullptr) return;
    SetEvent(let_go);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    thread = nullptr;
  }
};

// A window of a class of its own, on the thread that makes it.
HWND MakeWindow() {
  static const wchar_t kClass[] = L"OrvekContractWindow";
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = DefWindowProcW;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = kClass;
  RegisterClassW(&window_class);  // the second thread finds it registered
  return CreateWindowW(kClass, L"", 0, 0, 0, 0, 0, nullptr, nullptr,
                       window_class.hInstance, nullptr);
}

// A window whose thread never looks at its messages until told to end.
struct BusyWindow {
  HWND window = nullptr;
  HANDLE made = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE end = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = CreateThread(nullptr, 0, run, this, 0, nullptr);

  BusyWindow() { WaitForSingleObject(made, 5000); }
  ~BusyWindow() {
    SetEvent(end);
    WaitForSingleObject(thread, 5000);
    for (HANDLE handle : {thread, made, end}) CloseHandle(handle);
  }
  static DWORD WINAPI run(void* self_pointer) {
    auto* self = static_cast<BusyWindow*>(self_pointer);
    self->window = MakeWindow();
    SetEvent(self->made);
    WaitForSingleObject(self->end, INFINITE);
    DestroyWindow(self->window);
    return 0;
  }
};

TEST(Win32PlatformTest, KeepsThePlatformContract) {
  MutexHolder holder;
  BusyWindow busy;
  HWND answering = MakeWindow();
  ASSERT_TRUE(answering && busy.window);
  wchar_t temp[MAX_PATH];
  ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
  std::wstring directory = std::wstring(temp) + L"orvek-contract-" +
                           std::to_wstring(GetCurrentProcessId());
  ASSERT_TRUE(CreateDirectoryW(directory.c_str(), nullptr) ||
              GetLastError() == ERROR_ALREADY_EXISTS);

  HANDLE held = INVALID_HANDLE_VALUE;
  std::u16string event_name =
      u"OrvekContract" + Utf16(std::to_wstring(GetCurrentProcessId()));
  orvek::testing::ContractWorld world{
      orvek::platform::win32_platform(),
      Utf16(directory),
      [&](const std::u16string& path) {
        held = CreateFileW(Wide(path), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
      },
      [&] { CloseHandle(held); },
      [&](const std::u16string& name) {
        HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, Wide(name));
        ASSERT_NE(event, nullptr);
        SetEvent(event);
        CloseHandle(event);
      },
      event_name,
      [&](const std::u16string& name, bool die_holding) {
        holder.start(Wide(name), die_holding);
      },
      [&] { holder.finish(); },
      [](std::uint32_t ms) { Sleep(ms); },
      reinterpret_cast<orvek::platform::Handle>(answering),
      reinterpret_cast<orvek::platform::Handle>(busy.window)};
  orvek::testing::RunPlatformContract(world);
  DestroyWindow(answering);

  DeleteFileW((directory + L"\\contract.dat").c_str());
  DeleteFileW((directory + L"\\contract.link").c_str());
  RemoveDirectoryW(directory.c_str());
}

}  // namespace
