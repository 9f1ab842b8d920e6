#include <fstream>
#include <future>
#include <mutex>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include "IpcFixture.h"
#include "platform/MessageEndpoint.h"
#include "platform/ProgramPaths.h"
#include "platform/StaleEndpoints.h"
#include "platform/WindowMessages.h"

using namespace std::chrono_literals;

namespace {

// What a crashed process leaves: a socket file nobody listens at.
void LeaveStaleSocket(const std::string& path) {
  const TUniqueFd stale(::socket(AF_UNIX, SOCK_STREAM, 0));
  sockaddr_un address;
  ASSERT_TRUE(FillSocketAddress(path, address));
  ASSERT_EQ(::bind(stale.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
}

struct TSeen {
  std::uint32_t Message, WParam, LParam;
  std::thread::id Thread;
};

class MessageEndpointTest : public TIpcTest {
protected:
  using TReply = std::function<std::uint32_t(std::uint32_t, std::uint32_t, std::uint32_t)>;

  std::unique_ptr<TMessageEndpoint> Make(TWindowHandle handle, TReply reply = DefaultReply) {
    return std::make_unique<TMessageEndpoint>(
        handle, target_,
        [this, reply](std::uint32_t m, std::uint32_t w, std::uint32_t l) {
          seen_.push_back({m, w, l, std::this_thread::get_id()});
          return reply(m, w, l);
        },
        [this](const std::string& text) {
          std::lock_guard lock(errorsMutex_);
          errors_.push_back(text);
        });
  }

  // Sends from another thread while this thread pumps the handlers.
  std::optional<std::uint32_t> Send(TWindowHandle handle, std::uint32_t m, std::uint32_t w = 0,
                                    std::uint32_t l = 0) {
    auto answer = std::async(std::launch::async, [=] {
      std::uint32_t result = 0;
      return SendMessageTimeout(handle, m, w, l, 10000, result) ? std::optional(result)
                                                                : std::nullopt;
    });
    target_->PumpUntil([&] { return answer.wait_for(0s) == std::future_status::ready; }, 20s);
    return answer.get();
  }

  bool ErrorMentions(const std::string& part) {
    std::lock_guard lock(errorsMutex_);
    for (const std::string& e : errors_)
      if (e.find(part) != std::string::npos)
        return true;
    return false;
  }

  static std::uint32_t DefaultReply(std::uint32_t, std::uint32_t w, std::uint32_t l) {
    return w + l;
  }

  std::shared_ptr<TQueuedPostTarget> target_ = std::make_shared<TQueuedPostTarget>();
  std::vector<TSeen> seen_; // only touched on the pumping thread
  std::mutex errorsMutex_;
  std::vector<std::string> errors_;
};

TEST_F(MessageEndpointTest, SendReturnsTheResultOfAHandlerRunOnThePumpedThread) {
  auto endpoint = Make(1001);
  EXPECT_EQ(endpoint->Path(), RuntimeFolder() + "/1001.sock");
  EXPECT_EQ(Send(1001, 0x611, 7, 35), 42u);
  ASSERT_EQ(seen_.size(), 1u);
  EXPECT_EQ(seen_[0].Message, 0x611u);
  EXPECT_EQ(seen_[0].Thread, std::this_thread::get_id());
  // Every bit of all three values survives the trip.
  EXPECT_EQ(Send(1001, 0x80000001, 0xFFFFFFFF, 0x12345678), 0x12345677u);
  EXPECT_EQ(seen_[1].Message, 0x80000001u);
  EXPECT_EQ(seen_[1].LParam, 0x12345678u);
}

TEST_F(MessageEndpointTest, PostsAreHandledInPostedOrder) {
  auto endpoint = Make(1001);
  for (std::uint32_t i = 0; i < 50; ++i)
    ASSERT_TRUE(PostMessage(1001, 0x601, i, 0));
  ASSERT_TRUE(target_->PumpUntil([&] { return seen_.size() == 50; }, 10s));
  for (std::uint32_t i = 0; i < 50; ++i)
    EXPECT_EQ(seen_[i].WParam, i);
}

TEST_F(MessageEndpointTest, SendTimesOutWhenTheHandlerDoesNotRunInTime) {
  auto endpoint = Make(1001);
  std::uint32_t result = 77;
  EXPECT_FALSE(SendMessageTimeout(1001, 1, 2, 3, 100, result));
  EXPECT_EQ(result, 77u);
  target_->Pump(); // the late handler runs; its result has nowhere to go
  EXPECT_EQ(seen_.size(), 1u);
  EXPECT_EQ(Send(1001, 1, 2, 3), 5u);
}

TEST_F(MessageEndpointTest, MissingAndStaleEndpointsAreNotWindowsAndStaleOnesAreReplaced) {
  std::uint32_t result = 0;
  EXPECT_FALSE(IsWindow(0));
  EXPECT_FALSE(IsWindow(4242));
  EXPECT_FALSE(PostMessage(4242, 1, 0, 0));
  EXPECT_FALSE(SendMessageTimeout(4242, 1, 0, 0, 1000, result));

  LeaveStaleSocket(EndpointPath(4242));
  EXPECT_TRUE(std::filesystem::exists(EndpointPath(4242)));
  EXPECT_FALSE(IsWindow(4242));
  EXPECT_FALSE(PostMessage(4242, 1, 0, 0));

  auto endpoint = Make(4242); // replaces the stale file
  EXPECT_TRUE(IsWindow(4242));
  EXPECT_TRUE(seen_.empty());                      // a probe never reaches the handler
  EXPECT_THROW(Make(4242), EMessageEndpointError); // a live one stays
  EXPECT_TRUE(IsWindow(4242));
  endpoint.reset();
  EXPECT_FALSE(std::filesystem::exists(EndpointPath(4242)));
  EXPECT_FALSE(IsWindow(4242));
}

TEST_F(MessageEndpointTest, SocketsOfDeadProcessesAreRemoved) {
  const pid_t dead = ::fork();
  if (dead == 0)
    ::_exit(0);
  ::waitpid(dead, nullptr, 0);
  const TWindowHandle deadHandle = static_cast<TWindowHandle>(dead);
  LeaveStaleSocket(EndpointPath(deadHandle));
  // This process lives: its endpoint may just be starting.
  LeaveStaleSocket(EndpointPath(static_cast<TWindowHandle>(::getpid())));
  auto live = Make(4242);
  std::ofstream(EndpointPath(4343)) << "not a socket";
  RemoveDeadEndpoints();
  EXPECT_FALSE(std::filesystem::exists(EndpointPath(deadHandle)));
  EXPECT_TRUE(std::filesystem::exists(EndpointPath(static_cast<TWindowHandle>(::getpid()))));
  EXPECT_TRUE(IsWindow(4242));
  EXPECT_TRUE(std::filesystem::exists(EndpointPath(4343)));
}

TEST_F(MessageEndpointTest, SilentAndTruncatedPeersBlockNeitherOthersNorDestruction) {
  auto endpoint = Make(1001);
  const TUniqueFd silent = ConnectToPath(endpoint->Path());
  const TUniqueFd truncated = ConnectToPath(endpoint->Path());
  ASSERT_TRUE(silent.Valid() && truncated.Valid());
  const TRequestBytes bytes = EncodeRequest({TRequestKind::Send, 1, 2, 3});
  ASSERT_EQ(::send(truncated.Get(), bytes.data(), 5, 0), 5);

  EXPECT_EQ(Send(1001, 9, 20, 22), 42u);
  endpoint.reset();
  EXPECT_FALSE(IsWindow(1001));
  char byte;
  EXPECT_EQ(::recv(silent.Get(), &byte, 1, 0), 0); // closed, not left hanging
  EXPECT_EQ(seen_.size(), 1u);
}

TEST_F(MessageEndpointTest, DestructionFailsASendInFlightAndSkipsItsHandler) {
  auto endpoint = Make(1001);
  auto answer = std::async(std::launch::async, [] {
    std::uint32_t result = 0;
    return SendMessageTimeout(1001, 5, 0, 0, 60000, result);
  });
  ASSERT_TRUE(Eventually([&] { return target_->Pending() == 1; }));
  endpoint.reset();
  ASSERT_TRUE(Eventually([&] { return answer.wait_for(0s) == std::future_status::ready; }, 20s));
  EXPECT_FALSE(answer.get());
  target_->Pump();
  EXPECT_TRUE(seen_.empty());
}

TEST_F(MessageEndpointTest, TwoEndpointsInOneProcessAnswerSeparately) {
  auto first = Make(2001, [](std::uint32_t, std::uint32_t w, std::uint32_t) { return 100 + w; });
  auto second = Make(2002, [](std::uint32_t, std::uint32_t w, std::uint32_t) { return 200 + w; });
  EXPECT_EQ(Send(2001, 1, 1), 101u);
  EXPECT_EQ(Send(2002, 1, 2), 202u);
  second.reset();
  EXPECT_TRUE(IsWindow(2001));
  EXPECT_FALSE(IsWindow(2002));
}

TEST_F(MessageEndpointTest, AFailingHandlerFailsOnlyItsOwnSend) {
  auto endpoint = Make(1001, [](std::uint32_t m, std::uint32_t, std::uint32_t) -> std::uint32_t {
    if (m == 13)
      throw std::runtime_error("bad luck");
    return 100;
  });
  EXPECT_EQ(Send(1001, 13), std::nullopt);
  EXPECT_TRUE(ErrorMentions("0xD failed: bad luck"));
  EXPECT_EQ(Send(1001, 14), 100u);
}

TEST_F(MessageEndpointTest, PeersOfAnotherUserAreRefused) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "needs root to run a peer as another user";
  auto endpoint = Make(1001);
  // Let the other user reach the socket, so only the credential check stops it.
  ::chmod(Temp().c_str(), 0711);
  ::chmod(RuntimeFolder().c_str(), 0711);
  ::chmod(endpoint->Path().c_str(), 0777);
  // The other user would not take this runtime folder for its own: it is
  // given the socket's path.
  const std::string path = endpoint->Path();
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0)
      ::_exit(3);
    const TUniqueFd fd = ConnectToPath(path);
    if (!fd.Valid())
      ::_exit(2);
    const TRequestBytes request = EncodeRequest({TRequestKind::Send, 1, 0, 0});
    (void)!::send(fd.Get(), request.data(), request.size(), MSG_NOSIGNAL);
    pollfd entry{fd.Get(), POLLIN, 0};
    if (::poll(&entry, 1, 5000) != 1)
      ::_exit(4);
    TReplyBytes reply{};
    ::_exit(::recv(fd.Get(), reply.data(), reply.size(), 0) > 0 ? 1 : 0);
  }
  int status = 0;
  ASSERT_TRUE(target_->PumpUntil([&] { return ::waitpid(child, &status, WNOHANG) == child; }, 20s));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(seen_.empty());
  EXPECT_TRUE(ErrorMentions("refused a connection from user 65534"));
}

} // namespace
