// The native Internet client's handles under concurrent use.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <future>

#include "platform/internet.h"
#include "platform/sockets.h"

namespace {

constexpr int kGuardMs = 30000;  // hang guard only

// A handle closed by another thread while a send waits on it stays usable
// until the send returns; only then is it freed.
TEST(InternetHandles, CloseDuringASendWaitsForTheSendToFinish) {
    // The connection is accepted and never answered.
    ASSERT_TRUE(net::StartSockets());
    net::Socket listener = net::CreateTcpSocket();
    ASSERT_TRUE(net::BindLoopback(listener, 0));
    ASSERT_TRUE(net::Listen(listener));

    const std::size_t openBefore = OpenInternetHandleCountForTesting();
    HINTERNET session = InternetOpenA("test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    DWORD receiveMs = 500;
    ASSERT_TRUE(
        InternetSetOptionA(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &receiveMs, sizeof receiveMs));
    HINTERNET connection = InternetConnectA(session, "127.0.0.1", net::LocalPort(listener), "", "",
                                            INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET request =
        HttpOpenRequestA(connection, "POST", "/", "HTTP/1.0", nullptr, nullptr, 0, 0);
    ASSERT_NE(request, nullptr);

    std::future<DWORD> send = std::async(std::launch::async, [request] {
        char body[] = "x";
        return HttpSendRequestA(request, nullptr, 0, body, 1) ? DWORD{0} : GetLastError();
    });
    // The connection reaching the listener is made from inside the send.
    const net::Socket accepted = net::Accept(listener, kGuardMs);
    ASSERT_TRUE(accepted) << "the send never connected";
    EXPECT_TRUE(InternetCloseHandle(request));
    EXPECT_TRUE(InternetCloseHandle(connection));
    EXPECT_TRUE(InternetCloseHandle(session));
    EXPECT_EQ(send.get(), ERROR_INTERNET_TIMEOUT);

    EXPECT_FALSE(InternetCloseHandle(request));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(OpenInternetHandleCountForTesting(), openBefore);
}

}  // namespace

#endif
