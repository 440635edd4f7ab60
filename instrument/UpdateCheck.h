#pragma once
#include <string>

class IGraphics;

// The utility menu's "Check Online for Update": one synchronous HTTP GET of
// "music/version/?file=quarvi" on the maker's server, made on the calling
// (editor window) thread, and the outcome in the editor's message boxes.
// When the server reports a newer version the user is offered the download
// page, which the editor's OpenUrl opens.
//
// Returns 0 when a version was read and reported (up to date or newer), -1
// when there was no response (nothing came back, or time ran out), -2 when an
// exception ended the check (the no-response box is shown then), -3 when the
// response was not a version (it contains "<", as an HTML page does). A null
// editor shows nothing.
int CheckForUpdate(IGraphics* editor);

// The version the check compares against: "2.0.4", digits 2004.
constexpr char kOwnVersionText[] = "2.0.4";
constexpr int kOwnVersionNumber = 2004;

// Where the check asks, and how long it may take.
struct UpdateServer {
  std::string host;
  int port = 80;
  int connectTimeoutMs = 0;
  int totalTimeoutMs = 0;
};

// The maker's server on port 80. The exchange is bounded: 10 s to connect,
// 20 s for all of it, so that a server that accepts and never answers cannot
// hold the host's user interface for minutes.
UpdateServer MakerUpdateServer();

// Test support: makes the check ask this server instead (null: the maker's
// again). Deliberately not read from the environment: a shipped library
// should not let its environment feed it a server of anyone's choosing.
void OverrideUpdateServer(const UpdateServer* server);
