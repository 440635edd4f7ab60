// The online update check against a real HTTP server on 127.0.0.1, through
// the platform's own network stack (libcurl here, WinINet in the Windows test
// programs under wine).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "IGraphicsHeadless.h"
#include "InstrumentFixture.h"
#include "ProgramCommands.h"
#include "TestSockets.h"
#include "UpdateCheck.h"

namespace {

// A one-connection-at-a-time HTTP server on a free loopback port, answering
// every request the same way, and remembering each request's head.
class LoopbackHttpServer {
 public:
  enum Mode {
    kServe,     // the status and the body
    kRedirect,  // the version query is sent on to another path, which serves the body
    kStall,     // reads the request, then says nothing
    kTrickle,   // the status line and headers, then one body byte every 100 ms
  };

  explicit LoopbackHttpServer(Mode mode, std::string body = "", std::string status = "200 OK")
      : mMode(mode), mBody(std::move(body)), mStatus(std::move(status)) {
    mListener = ListenOnLoopback(&mPort);
    if (mListener != kNoSocket) mThread = std::thread([this] { Run(); });
  }
  ~LoopbackHttpServer() {
    mStop = true;
    if (mThread.joinable()) mThread.join();
    CloseTestSocket(mListener);
  }
  bool Listening() const { return mListener != kNoSocket; }
  int Port() const { return mPort; }
  std::vector<std::string> Requests() {
    std::lock_guard<std::mutex> lock(mMutex);
    return mRequests;
  }

 private:
  void Run() {
    while (!mStop) {
      if (!WaitReadable(mListener, 20)) continue;
      const TestSocket c = AcceptOne(mListener);
      if (c == kNoSocket) continue;
      std::string head;
      char buffer[512];
      while (head.find("\r\n\r\n") == std::string::npos && !mStop) {
        if (!WaitReadable(c, 20)) continue;
        const int n = ReceiveSome(c, buffer, sizeof(buffer));
        if (n <= 0) break;
        head.append(buffer, static_cast<size_t>(n));
      }
      {
        std::lock_guard<std::mutex> lock(mMutex);
        mRequests.push_back(head);
      }
      Answer(c, head);
      CloseTestSocket(c);
    }
  }

  void Answer(TestSocket c, const std::string& head) {
    const std::string common = "Content-Type: text/plain\r\nCache-Control: no-store\r\nConnection: close\r\n";
    if (mMode == kStall) {
      char b[64];
      while (!mStop) {  // until the client gives up
        if (WaitReadable(c, 20) && ReceiveSome(c, b, sizeof(b)) <= 0) return;
      }
    } else if (mMode == kTrickle) {
      // 20 s of body: far beyond the total time-out.
      const std::string h = "HTTP/1.1 200 OK\r\n" + common + "Content-Length: 200\r\n\r\n";
      if (!SendAll(c, h.data(), h.size())) return;
      std::string body = mBody;
      body.resize(200, ' ');
      for (size_t i = 0; i < body.size() && !mStop; ++i) {
        if (!SendAll(c, &body[i], 1)) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    } else if (mMode == kRedirect && head.rfind("GET /music/version/", 0) == 0) {
      const std::string r = "HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:" + std::to_string(mPort) +
                            "/music/latest.txt\r\n" + common + "Content-Length: 0\r\n\r\n";
      SendAll(c, r.data(), r.size());
    } else {
      const std::string r = "HTTP/1.1 " + mStatus + "\r\n" + common +
                            "Content-Length: " + std::to_string(mBody.size()) + "\r\n\r\n" + mBody;
      SendAll(c, r.data(), r.size());
    }
  }

  Mode mMode;
  std::string mBody, mStatus;
  TestSocket mListener = kNoSocket;
  int mPort = 0;
  std::thread mThread;
  std::atomic<bool> mStop{false};
  std::mutex mMutex;
  std::vector<std::string> mRequests;
};

// Short bounds keep the stalling servers' cases quick; the product waits
// 10 s to connect and 20 s in all.
constexpr int kTestConnectMs = 1000;
constexpr int kTestTotalMs = 1500;

void AskLoopback(int port) {
  UpdateServer s;
  s.host = "127.0.0.1";
  s.port = port;
  s.connectTimeoutMs = kTestConnectMs;
  s.totalTimeoutMs = kTestTotalMs;
  OverrideUpdateServer(&s);
}

// A port nobody listens on: one the system just handed out and took back.
int ClosedPort() {
  int port = 0;
  CloseTestSocket(ListenOnLoopback(&port));
  return port;
}

// Running out of memory while a message box is being shown.
class FailingEditor : public IGraphicsHeadless {
 public:
  FailingEditor() : IGraphicsHeadless(nullptr) {}
  int failBoxes = 1;
  int ShowMessageBox(const char* text, const char* caption, int type) override {
    if (failBoxes > 0) {
      --failBoxes;
      throw std::bad_alloc();
    }
    return IGraphicsHeadless::ShowMessageBox(text, caption, type);
  }
};

const char kCaption[] = "Check Online for Update";
const char kNoResponse[] = "An error occurred while contacting kestrelsoundmusic.com.";

std::string NewerText(const std::string& version) {
  return "A new version of Quarvi is available.\n\n\tYour version: \t2.0.4\n\tNew version: \t" +
         version + "\n\nDo you want to go to kestrelsoundmusic.com to get the new version?";
}

class UpdateCheck : public ::testing::Test {
 protected:
  void TearDown() override { OverrideUpdateServer(nullptr); }
};

TEST_F(UpdateCheck, OutcomesAgainstALoopbackServer) {
  using S = LoopbackHttpServer;
  struct Row {
    const char* name;
    S::Mode mode;
    std::string body;
    std::string status;
    int result;
    std::string text;  // of the one box shown
    int type;          // of that box; MB_TYPE_YESNO means a newer version
  };
  const int kInfo = MB_TYPE_OK | MB_ICON_INFO, kError = MB_TYPE_OK | MB_ICON_ERROR;
  const Row rows[] = {
      {"2004", S::kServe, "2004", "200 OK", 0, "Your version is up to date.", kInfo},
      {"2005", S::kServe, "2005", "200 OK", 0, NewerText("2.0.5"), MB_TYPE_YESNO},
      {"2010", S::kServe, "2010", "200 OK", 0, NewerText("2.0.10"), MB_TYPE_YESNO},
      {"2012", S::kServe, "2012", "200 OK", 0, NewerText("2.0.12"), MB_TYPE_YESNO},
      {"2100", S::kServe, "2100", "200 OK", 0, NewerText("2.1.0"), MB_TYPE_YESNO},
      {"3000", S::kServe, "3000", "200 OK", 0, NewerText("3.0.0"), MB_TYPE_YESNO},
      {"line feed kept", S::kServe, "2005\n", "200 OK", 0, NewerText("2.0.5\n"), MB_TYPE_YESNO},
      {"many pieces", S::kServe, "2100" + std::string(5000, ' '), "200 OK", 0,
       NewerText("2.1.0" + std::string(5000, ' ')), MB_TYPE_YESNO},
      {"redirected", S::kRedirect, "2005", "200 OK", 0, NewerText("2.0.5"), MB_TYPE_YESNO},
      {"HTML error page", S::kServe, "2010 <html><body>Not Found</body></html>", "404 Not Found",
       -3, "Invalid call to kestrelsoundmusic.com.", kError},
      {"plain error page", S::kServe, "Service Unavailable", "503 Service Unavailable", -3,
       "Invalid call to kestrelsoundmusic.com.", kError},
      {"no number", S::kServe, "ok", "200 OK", 0, "Your version is up to date.", kInfo},
      {"empty body", S::kServe, "", "200 OK", -1, kNoResponse, kError},
      {"stalls", S::kStall, "", "", -1, kNoResponse, kError},
      {"trickles", S::kTrickle, "2005", "", -1, kNoResponse, kError},
      {"closed port", S::kServe, "", "", -1, kNoResponse, kError},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const bool closed = std::string(row.name) == "closed port";
    S server(row.mode, row.body, row.status);
    ASSERT_TRUE(server.Listening());
    AskLoopback(closed ? ClosedPort() : server.Port());

    const bool newer = row.type == MB_TYPE_YESNO;
    // A newer version is asked about three times: Yes, No, and Yes while
    // the system reports no connection.
    for (int answer = 0; answer < (newer ? 3 : 1); ++answer) {
      IGraphicsHeadless editor(nullptr);
      editor.messageBoxAnswers.push_back(answer == 1 ? MB_RESULT_NO : MB_RESULT_YES);
      editor.connected = answer != 2;
      const auto start = std::chrono::steady_clock::now();
      EXPECT_EQ(CheckForUpdate(&editor), row.result);
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      // Bounded by the time-outs (with room for a slow machine), never by
      // the system's own minutes.
      EXPECT_LT(seconds, 10.0);

      ASSERT_EQ(editor.messageBoxes.size(), 1u);
      EXPECT_EQ(editor.messageBoxes[0].text, row.text);
      EXPECT_EQ(editor.messageBoxes[0].caption, newer ? "New Version of Quarvi Detected" : kCaption);
      EXPECT_EQ(editor.messageBoxes[0].type, row.type);
      if (newer && answer != 1) {
        ASSERT_EQ(editor.urls.size(), 1u);
        EXPECT_EQ(editor.urls[0].url, "https://www.kestrelsoundmusic.com/music/vst.html");
        EXPECT_EQ(editor.urls[0].opened, answer == 0);
      } else {
        EXPECT_TRUE(editor.urls.empty());
      }
    }

    // What went over the wire: one GET of the version object, as the agent
    // "Quarvi", accepting anything (and the redirect's follow-up).
    const std::vector<std::string> requests = server.Requests();
    if (closed) {
      EXPECT_TRUE(requests.empty());
      continue;
    }
    ASSERT_FALSE(requests.empty());
    for (size_t i = 0; i < requests.size(); ++i) {
      const std::string& r = requests[i];
      const bool followUp = row.mode == S::kRedirect && i % 2 == 1;
      EXPECT_EQ(r.rfind(followUp ? "GET /music/latest.txt HTTP/1.1\r\n"
                                 : "GET /music/version/?file=quarvi HTTP/1.1\r\n", 0), 0u) << r;
      EXPECT_NE(r.find("\r\nUser-Agent: Quarvi\r\n"), std::string::npos) << r;
      EXPECT_NE(r.find("\r\nAccept: */*\r\n"), std::string::npos) << r;
    }
  }
}

TEST_F(UpdateCheck, AnExceptionEndsWithTheNoResponseBox) {
  LoopbackHttpServer server(LoopbackHttpServer::kServe, "2005");
  ASSERT_TRUE(server.Listening());
  AskLoopback(server.Port());
  FailingEditor editor;  // the newer-version box fails
  EXPECT_EQ(CheckForUpdate(&editor), -2);
  ASSERT_EQ(editor.messageBoxes.size(), 1u);
  EXPECT_EQ(editor.messageBoxes[0].text, kNoResponse);
  EXPECT_EQ(editor.messageBoxes[0].caption, kCaption);
  EXPECT_TRUE(editor.urls.empty());

  FailingEditor silent;  // even the no-response box fails: nothing escapes
  silent.failBoxes = 2;
  EXPECT_EQ(CheckForUpdate(&silent), -2);
  EXPECT_TRUE(silent.messageBoxes.empty());
}

TEST_F(UpdateCheck, TheUtilityMenuRunsIt) {
  LoopbackHttpServer server(LoopbackHttpServer::kServe, "2004");
  ASSERT_TRUE(server.Listening());
  AskLoopback(server.Port());
  Instrument ins;
  IGraphicsHeadless editor(ins.q.get());
  RunUtilityCommand(ins.q.get(), &editor, kCmdCheckForUpdate);
  ASSERT_EQ(editor.messageBoxes.size(), 1u);
  EXPECT_EQ(editor.messageBoxes[0].text, "Your version is up to date.");
  EXPECT_EQ(server.Requests().size(), 1u);
}

}  // namespace
