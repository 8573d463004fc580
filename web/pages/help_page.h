// The Help page ("/page5.html"): where the on-line help is opened from, the
// maker's web site (unless the installation is an OEM's) and the notice of
// the cryptography library the daemon is built with.
#pragma once

class PageBuilder;

// The maker's web site, linked from the Help page.
inline constexpr const char* kMakerWebSite = "https://www.tavix.example/";

// Writes the page for the controller index c. Returns 0.
int write_page5(PageBuilder& page, int c);
