#include "UpdateCheck.h"

#include <mutex>
#include <string>

#include "Config.h"
#include "IGraphics.h"
#include "Maker.h"
#include "platform/Http.h"

namespace {

constexpr char kProductName[] = "Quarvi";
constexpr char kCaption[] = "Check Online for Update";
constexpr char kVersionObject[] = "music/version/?file=quarvi";

std::mutex& OverrideMutex() {
  static std::mutex m;
  return m;
}
bool gOverridden = false;
UpdateServer& OverrideServer() {
  static UpdateServer s;
  return s;
}

UpdateServer CurrentServer() {
  std::lock_guard<std::mutex> lock(OverrideMutex());
  return gOverridden ? OverrideServer() : MakerUpdateServer();
}

int Show(IGraphics* editor, const std::string& text, const char* caption, int type) {
  return editor ? editor->ShowMessageBox(text.c_str(), caption, type) : MB_RESULT_NO;
}

void ShowNoResponse(IGraphics* editor) {
  Show(editor, std::string("An error occurred while contacting ") + kMakerDomain + ".", kCaption,
       MB_TYPE_OK | MB_ICON_ERROR);
}

// Made from the response's own characters: the first, ".", the second, ".",
// and the rest from the third on, or from the fourth when the third is "0".
// 2005 gives 2.0.5, 2012 gives 2.0.12, 2100 gives 2.1.0. Whatever follows
// the digits (a line feed, say) stays. A response above 2004 has at least
// four characters; shorter ones are cut, never read past.
std::string NewVersionText(const std::string& r) {
  const size_t rest = r.size() > 2 && r[2] == '0' ? 3 : 2;
  std::string v = r.substr(0, 1) + "." + r.substr(r.empty() ? 0 : 1, 1) + ".";
  if (rest < r.size()) v += r.substr(rest);
  return v;
}

}  // namespace

UpdateServer MakerUpdateServer() {
  UpdateServer s;
  s.host = kMakerServerHost;
  s.port = 80;
  s.connectTimeoutMs = 10000;
  s.totalTimeoutMs = 20000;
  return s;
}

void OverrideUpdateServer(const UpdateServer* server) {
  std::lock_guard<std::mutex> lock(OverrideMutex());
  gOverridden = server != nullptr;
  OverrideServer() = server ? *server : UpdateServer();
}

int CheckForUpdate(IGraphics* editor) {
  // Nothing may leave the menu command: an exception anywhere (running out
  // of memory while collecting the body or building a text) ends the check
  // with the no-response box.
  try {
    const UpdateServer server = CurrentServer();
    HttpGetRequest request;
    request.agent = kProductName;
    request.host = server.host.c_str();
    request.port = server.port;
    request.object = kVersionObject;
    request.accept = "*/*";
    request.connectTimeoutMs = server.connectTimeoutMs;
    request.totalTimeoutMs = server.totalTimeoutMs;
    int status = 0;
    const std::string response = HttpGet(request, &status);

    if (response.empty()) {
      ShowNoResponse(editor);
      return -1;
    }
    // An error page is not a version, in HTML or in plain text: a "503
    // Service Unavailable" read as a number would be reported as "up to
    // date".
    const bool errorStatus = status != 0 && (status < 200 || status > 299);
    if (errorStatus || response.find('<') != std::string::npos) {
      Show(editor, std::string("Invalid call to ") + kMakerDomain + ".", kCaption,
           MB_TYPE_OK | MB_ICON_ERROR);
      return -3;
    }
    // Read as C's atoi would (leading blanks, a sign, digits); no number is 0.
    if (SettingsTextToInt(response.c_str()) <= kOwnVersionNumber) {
      Show(editor, "Your version is up to date.", kCaption, MB_TYPE_OK | MB_ICON_INFO);
      return 0;
    }
    const std::string text = std::string("A new version of ") + kProductName + " is available.\n\n" +
                             "\tYour version: \t" + kOwnVersionText + "\n" +
                             "\tNew version: \t" + NewVersionText(response) + "\n" +
                             "\nDo you want to go to " + kMakerWebSiteName +
                             " to get the new version?";
    const std::string caption = std::string("New Version of ") + kProductName + " Detected";
    if (Show(editor, text, caption.c_str(), MB_TYPE_YESNO) != MB_RESULT_NO && editor)
      editor->OpenUrl(kMakerDownloadPage);
    return 0;
  } catch (...) {
    try {
      ShowNoResponse(editor);
    } catch (...) {
    }
    return -2;
  }
}
