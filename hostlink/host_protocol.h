// What the library and the host application agree on: names, numbers and
// limits of the link between them. The host emulator includes this too.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvek::hostlink {

// Where the host application says it is installed (HKEY_LOCAL_MACHINE).
inline constexpr char16_t kHostRegistryKey[] = u"SOFTWARE\\OrvekGPS\\General";
inline constexpr char16_t kHostPathValue[] = u"Path_EXE";

// The host's main window, looked up by class alone.
inline constexpr char16_t kHostWindowClass[] = u"ORVEKPOCKETMAINW";

// Packet files in the host directory: the library writes the request, the
// host application answers in the reply.
inline constexpr char16_t kRequestFileName[] = u"\\PACKETTX.DAT";
inline constexpr char16_t kReplyFileName[] = u"\\PACKETRX.DAT";

// Posted to the host window. 15 announces a request in the request file;
// 2 asks the host to initialise its moving map and is never answered.
inline constexpr std::uint32_t WM_PORT_REQUEST = 0x4522;
inline constexpr std::uintptr_t PORT_WPARAM_PACKET = 15;
inline constexpr std::uintptr_t PORT_WPARAM_MOVINGMAP_INIT = 2;

// Named auto-reset event that the host sets once its reply file is closed.
inline constexpr char16_t kReplyEventName[] = u"EventOrvekAPI";

// How long an exchange waits for the host's signal.
inline constexpr std::uint32_t kReplyWaitMs = 3000;

// A request line is composed in 200 bytes with its NUL: 199 bytes of line,
// line feed included, so 196 bytes of body behind a letter and its "|".
inline constexpr std::size_t kRequestLineBuffer = 200;
inline constexpr std::size_t kMaxRequestLine = kRequestLineBuffer - 1;
inline constexpr std::size_t kMaxCommandBody = kMaxRequestLine - 3;

// Every command's reply is read into this many bytes.
inline constexpr std::uint32_t kCommandReplyCapacity = 1000;

}  // namespace orvek::hostlink
