// Behaviours of the platform layer that the core relies on, written once and
// run against the fake natively and against the Win32 backend under Wine, so
// that the fake cannot drift from the real thing.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "platform/platform.h"
#include "platform/unique_handle.h"

namespace orvek::testing {

// What a backend's test provides besides the platform itself.
struct ContractWorld {
  platform::Platform& os;
  std::u16string directory;  // exists, empty, writable
  // Another program opens the file with no sharing, and lets it go.
  std::function<void(const std::u16string& path)> hold_elsewhere;
  std::function<void()> release_elsewhere;
  // Another program sets the named event.
  std::function<void(const std::u16string& name)> signal_elsewhere;
  std::u16string event_name;  // unique to this run
  // Another process takes the named mutex and keeps it until released, or
  // ends while holding it.
  std::function<void(const std::u16string& name, bool die_holding)>
      hold_mutex_elsewhere;
  std::function<void()> release_mutex_elsewhere;
  // Time passes, as it does between two writes of a file.
  std::function<void(std::uint32_t ms)> pass_ms;
  // A window whose thread looks at its messages, and one whose thread is
  // busy for the rest of the test.
  platform::Handle answering_window;
  platform::Handle busy_window;
};

inline void RunPlatformContract(const ContractWorld& world) {
  using namespace orvek::platform;
  Platform& os = world.os;
  const std::u16string path = world.directory + u"\\contract.dat";
  const std::uint32_t read_write = kGenericRead | kGenericWrite;

  auto write_all = [&](Disposition disposition, const std::string& text) {
    UniqueFile file(os, os.create_file(path.c_str(), read_write, kFileShareRead,
                                       disposition));
    ASSERT_TRUE(file);
    std::uint32_t written = 0;
    ASSERT_TRUE(os.write_file(file.get(), text.data(),
                              static_cast<std::uint32_t>(text.size()), &written));
    EXPECT_EQ(written, text.size());
  };
  // An open for reading and writing, sharing reading, that must fail.
  auto refused = [&](const std::u16string& file, Disposition disposition) {
    return os.create_file(file.c_str(), read_write, kFileShareRead,
                          disposition) == kInvalidFile;
  };
  auto read_all = [&](std::uint32_t offset = 0) {
    UniqueFile file(os, os.create_file(path.c_str(), kGenericRead, kFileShareRead,
                                       Disposition::OpenExisting));
    EXPECT_TRUE(file);
    if (!file) return std::string("<no file>");
    EXPECT_TRUE(os.seek_file(file.get(), offset));
    char buffer[64];
    std::uint32_t read = 0;
    EXPECT_TRUE(os.read_file(file.get(), buffer, sizeof(buffer), &read));
    return std::string(buffer, read);
  };

  SCOPED_TRACE("platform contract");
  {
    SCOPED_TRACE("OPEN_EXISTING fails on a missing file; OPEN_ALWAYS creates it empty");
    EXPECT_TRUE(refused(path, Disposition::OpenExisting));
    UniqueFile created(os, os.create_file(path.c_str(), kGenericRead,
                                          kFileShareRead, Disposition::OpenAlways));
    EXPECT_TRUE(created);
    created.reset();
    EXPECT_EQ(read_all(), "");
  }
  {
    SCOPED_TRACE("CREATE_ALWAYS replaces the content as a whole");
    write_all(Disposition::CreateAlways, "a much longer first line\n");
    write_all(Disposition::CreateAlways, "short\n");
    EXPECT_EQ(read_all(), "short\n");
    EXPECT_EQ(read_all(2), "ort\n");
    EXPECT_EQ(read_all(1000), "");  // past the end reads nothing, successfully
  }
  {
    SCOPED_TRACE("read sharing only: a second read-write open fails");
    UniqueFile first(os, os.create_file(path.c_str(), read_write, kFileShareRead,
                                        Disposition::OpenExisting));
    ASSERT_TRUE(first);
    EXPECT_TRUE(refused(path, Disposition::OpenExisting));
    EXPECT_TRUE(refused(path, Disposition::CreateAlways));
  }
  {
    SCOPED_TRACE("a file another program holds without sharing can't be opened");
    world.hold_elsewhere(path);
    EXPECT_TRUE(refused(path, Disposition::CreateAlways));
    world.release_elsewhere();
    write_all(Disposition::CreateAlways, "free again\n");
  }
  {
    SCOPED_TRACE("no file is created in a missing directory");
    EXPECT_TRUE(refused(world.directory + u"\\missing\\PACKETTX.DAT",
                        Disposition::CreateAlways));
  }
  {
    SCOPED_TRACE("named auto-reset event: shared by name, consumed by a wait, "
                 "cleared by a reset");
    UniqueObject event(os, os.create_event(world.event_name.c_str()));
    UniqueObject same(os, os.create_event(world.event_name.c_str()));
    ASSERT_TRUE(event);
    ASSERT_TRUE(same);
    EXPECT_EQ(os.wait(event.get(), 0), kWaitTimeout);
    world.signal_elsewhere(world.event_name);
    EXPECT_EQ(os.wait(same.get(), 0), kWaitObject0);
    EXPECT_EQ(os.wait(event.get(), 0), kWaitTimeout);
    world.signal_elsewhere(world.event_name);
    EXPECT_TRUE(os.reset_event(event.get()));
    EXPECT_EQ(os.wait(event.get(), 0), kWaitTimeout);
  }
  {
    SCOPED_TRACE("write times: none for a missing file, later for a later write");
    std::uint64_t first = 0, second = 0;
    std::u16string missing = world.directory + u"\\missing.dat";
    EXPECT_FALSE(os.file_write_time(missing.c_str(), &first));
    write_all(Disposition::CreateAlways, "first\n");
    ASSERT_TRUE(os.file_write_time(path.c_str(), &first));
    world.pass_ms(50);
    write_all(Disposition::OpenExisting, "second\n");
    ASSERT_TRUE(os.file_write_time(path.c_str(), &second));
    EXPECT_GT(second, first);
  }
  {
    SCOPED_TRACE("named mutex: taken by a wait, refused while held elsewhere, "
                 "abandoned by an owner that ended");
    std::u16string name = world.event_name + u".lock";
    UniqueObject lock(os, os.create_mutex(name.c_str()));
    ASSERT_TRUE(lock);
    EXPECT_FALSE(os.release_mutex(lock.get())) << "not owned yet";
    EXPECT_EQ(os.wait(lock.get(), 0), kWaitObject0);
    EXPECT_TRUE(os.release_mutex(lock.get()));
    world.hold_mutex_elsewhere(name, false);
    EXPECT_EQ(os.wait(lock.get(), 50), kWaitTimeout);
    world.release_mutex_elsewhere();
    EXPECT_EQ(os.wait(lock.get(), 1000), kWaitObject0);
    EXPECT_TRUE(os.release_mutex(lock.get()));
    world.hold_mutex_elsewhere(name, true);
    EXPECT_EQ(os.wait(lock.get(), 1000), kWaitAbandoned);
    EXPECT_TRUE(os.release_mutex(lock.get())) << "owned after all";
  }
  {
    SCOPED_TRACE("attributes tell a directory from a file and miss nothing");
    std::uint32_t attributes = 0;
    EXPECT_TRUE(os.file_attributes(world.directory.c_str(), &attributes));
    EXPECT_TRUE(attributes & kFileAttributeDirectory);
    EXPECT_TRUE(os.file_attributes(path.c_str(), &attributes));
    EXPECT_FALSE(attributes & kFileAttributeDirectory);
    std::u16string missing = world.directory + u"\\missing.exe";
    EXPECT_FALSE(os.file_attributes(missing.c_str(), &attributes));
  }
  {
    SCOPED_TRACE("a per-call heap block holds what was asked and goes back");
    constexpr std::size_t kBytes = 1 << 20;
    char* block = static_cast<char*>(os.allocate(kBytes));
    ASSERT_NE(block, nullptr);
    std::memset(block, 'x', kBytes);
    EXPECT_EQ(block[kBytes - 1], 'x');
    os.release(block);
  }
  {
    SCOPED_TRACE("posting to no window reaches the own queue; to a bad one "
                 "fails, and a bad one has no owner");
    EXPECT_TRUE(os.post_message(kNullHandle, 0x4522, 15, 0));
    EXPECT_FALSE(os.post_message(0x7FFF0, 0x4522, 15, 0));
    Platform::WindowOwner owner;
    EXPECT_EQ(os.window_owner(0x7FFF0, &owner), Platform::WindowCheck::kGone);
  }
  {
    SCOPED_TRACE("a message sent to a window is taken by a thread that looks "
                 "at its messages, and waited for in vain from a busy one");
    using Reply = Platform::WindowReply;
    EXPECT_EQ(os.send_null_message(0x7FFF0, 100), Reply::kGone);
    EXPECT_EQ(os.send_null_message(world.answering_window, 100), Reply::kAnswered);
    EXPECT_EQ(os.send_null_message(world.busy_window, 100), Reply::kBusy);
  }
  {
    SCOPED_TRACE("code-page conversions fail when the output does not fit");
    char narrow[4];
    EXPECT_EQ(os.wide_to_ansi(u"abc", narrow, 4), 4);
    EXPECT_STREQ(narrow, "abc");
    EXPECT_EQ(os.wide_to_ansi(u"abcd", narrow, 4), 0);
    char16_t wide[4];
    EXPECT_EQ(os.ansi_to_wide("abc", wide, 4), 4);
    EXPECT_EQ(std::u16string(wide), u"abc");
    EXPECT_EQ(os.ansi_to_wide("abcd", wide, 4), 0);
  }
  {
    SCOPED_TRACE("a missing registry key does not open");
    Handle key = 0x1234;
    EXPECT_FALSE(os.reg_open_key(u"SOFTWARE\\OrvekContract\\Missing", &key));
    EXPECT_EQ(key, kNullHandle);
  }
  {
    SCOPED_TRACE("free space of a missing path is refused");
    std::uint64_t free_bytes = 0;
    std::u16string missing = world.directory + u"\\no\\such\\dir\\";
    EXPECT_FALSE(os.disk_free_space(missing.c_str(), &free_bytes));
  }
}

}  // namespace orvek::testing
