#pragma once

// The maker's public names: the web site the editor's utility menu offers to
// visit ("Visit " + the site's name) and the address it opens.
constexpr const char* kMakerWebSiteName = "kestrelsoundmusic.com";
constexpr const char* kMakerWebAddress = "https://www.kestrelsoundmusic.com/";
