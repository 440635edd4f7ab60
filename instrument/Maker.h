#pragma once

// The maker's names on the web, kept in one place: the update check asks the
// server and names the domain and the site in its messages; the utility
// menu's "Visit ..." item shows the site's name and opens its address.
constexpr char kMakerDomain[] = "kestrelsoundmusic.com";
// The web server the update check asks (plain HTTP, port 80).
constexpr char kMakerServerHost[] = "www.kestrelsoundmusic.com";
// The site as the user reads it: "Visit www.kestrelsoundmusic.com".
constexpr char kMakerWebSiteName[] = "www.kestrelsoundmusic.com";
// What the browser opens. Pages go over https: the download page hands out
// the installer.
constexpr char kMakerWebAddress[] = "https://www.kestrelsoundmusic.com/";
constexpr char kMakerDownloadPage[] = "https://www.kestrelsoundmusic.com/music/vst.html";
