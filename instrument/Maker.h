#pragma once

// The maker's public names, kept in one place: the editor's utility menu
// offers to visit the web site ("Visit " + the site's name) and opens its
// address; the update check asks the maker's server and names the domain and
// the site in its messages.
constexpr const char* kMakerWebSiteName = "kestrelsoundmusic.com";
constexpr const char* kMakerWebAddress = "https://www.kestrelsoundmusic.com/";
constexpr const char* kMakerDomain = "kestrelsoundmusic.com";
// The web server the update check asks (plain HTTP, port 80).
constexpr const char* kMakerServerHost = "www.kestrelsoundmusic.com";
// Opened when the user takes a newer version. Over https: the page hands out
// the installer.
constexpr const char* kMakerDownloadPage = "https://www.kestrelsoundmusic.com/music/vst.html";
