// The path of a file beside the host: HostDirectory followed by a name.
#pragma once

#include <cstring>
#include <string>

#include "hostlink/host_link_state.h"
#include "protocol/host_protocol.h"

namespace orvek::hostlink {

// E.g. "C:\Orvek\PACKETTX.DAT". The directory holds at most
// kMaxPathValueUnits units, so every name of the protocol fits behind it.
struct PacketPath {
  char16_t text[kHostPathUnits];

  explicit PacketPath(const char16_t* file_name) {
    std::size_t length = std::char_traits<char16_t>::length(HostDirectory);
    std::memcpy(text, HostDirectory, length * sizeof(char16_t));
    std::size_t name_length = std::char_traits<char16_t>::length(file_name);
    std::memcpy(text + length, file_name, (name_length + 1) * sizeof(char16_t));
  }
};
static_assert(kHostPathUnits >
              kMaxPathValueUnits + sizeof(protocol::kRequestFileName) / 2);
static_assert(kHostPathUnits >
              kMaxPathValueUnits + sizeof(protocol::kReplyFileName) / 2);
static_assert(kHostPathUnits >
              kMaxPathValueUnits + sizeof(protocol::kLinkFileName) / 2);

}  // namespace orvek::hostlink
