// Opening data files: what is not a regular file is refused at once, never waited on.
#include "platform/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <vector>

#include "platform/folders.h"

namespace {

TEST(Files, NamedPipeInPlaceOfADataFileIsRefusedWithoutWaiting) {
  const std::u16string dir = platform::MakeTempFolder(u"varn-fifo-");
  ASSERT_FALSE(dir.empty());
  const std::u16string pipe = dir + u"/system.pux";
  const std::string host = platform::HostPath(pipe);
  ASSERT_EQ(::mkfifo(host.c_str(), 0600), 0);

  auto opened = std::async(std::launch::async, [&] {
    std::vector<uint8_t> bytes;
    const bool whole = platform::ReadWholeFile(pipe, bytes);
    return platform::File::OpenRead(pipe) == nullptr && !whole && platform::File::CreateWrite(pipe) == nullptr;
  });
  const bool finished = opened.wait_for(std::chrono::seconds(3)) == std::future_status::ready;
  // A blocked open is given a writer and a reader (without ever blocking here) until it ends.
  while (opened.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
    const int writer = ::open(host.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) ::close(writer);
    const int reader = ::open(host.c_str(), O_RDONLY | O_NONBLOCK);
    if (reader >= 0) ::close(reader);
  }
  const bool refused = opened.get();
  EXPECT_TRUE(finished) << "opening a named pipe waited for the other end";
  EXPECT_TRUE(refused) << "a named pipe was opened as a data file";
  platform::RemoveTree(dir);
}

}  // namespace
