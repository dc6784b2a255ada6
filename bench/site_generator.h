#pragma once

#include <cstdint>
#include <string>

namespace quillstamper::bench {

// A synthetic site: pages under pages/, template files under templates/, a
// project file site.trvx with relative entries; CR LF throughout. The same
// settings and seed always give the same bytes.
struct SiteSettings {
    int pages = 2000;
    int pageBytes = 20000;
    int templates = 20;
    int blocksPerPage = 6;
    double hashShare = 0.2;  // blocks in hash comments (pair 2)
    double slashShare = 0.1; // blocks in slash comments (pair 3)
    std::uint64_t seed = 1;
    // Block content as menus of links (to pages, images and style sheets,
    // written from the project's folder), and the project lets links follow
    // each page and marks the current page with a class.
    bool links = false;
};

// Writes the site into folder (created if missing). Returns the project file.
std::string GenerateSite(const SiteSettings& settings, const std::string& folder);

} // namespace quillstamper::bench
