#include "bench/site_generator.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <vector>

namespace quillstamper::bench {

namespace fs = std::filesystem;

namespace {

constexpr int kBlocksPerTemplate = 8;
constexpr int kContentLines = 12;

struct Block {
    std::string start;
    std::string end;
};

Block MakeBlock(int index, double hashShare, double slashShare, std::mt19937_64& random) {
    const std::string name = "block" + std::to_string(index);
    const double style = std::uniform_real_distribution<double>(0.0, 1.0)(random);
    if (style < hashShare) {
        return {"# Trelvonix " + name, "# Trelvonix " + name + " end -->"};
    }
    if (style < hashShare + slashShare) {
        return {"// Trelvonix " + name, "// Trelvonix " + name + " end -->"};
    }
    return {"<!-- Trelvonix " + name + " -->", "<!-- Trelvonix " + name + " end -->"};
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

std::string PageName(int page) {
    std::string number = std::to_string(page);
    return "pages/p" + std::string(number.size() < 6 ? 6 - number.size() : 0, '0') + number +
           ".html";
}

} // namespace

std::string GenerateSite(const SiteSettings& settings, const std::string& folder) {
    std::mt19937_64 random(settings.seed);
    const fs::path root(folder);
    fs::create_directories(root / "pages");
    fs::create_directories(root / "templates");

    std::vector<Block> blocks;
    std::string projectTemplates;
    for (int t = 0; t < settings.templates; ++t) {
        std::string bytes = "<!-- template file " + std::to_string(t) + " -->\r\n";
        for (int b = 0; b < kBlocksPerTemplate; ++b) {
            const int index = t * kBlocksPerTemplate + b;
            blocks.push_back(MakeBlock(index, settings.hashShare, settings.slashShare, random));
            bytes += blocks.back().start + "\r\n";
            for (int line = 0; line < kContentLines; ++line) {
                if (settings.links) {
                    const int linked = (index * kContentLines + line) % settings.pages;
                    bytes += "  <li><a href=\"" + PageName(linked) + "#top\" class=\"b" +
                             std::to_string(index) + "\"><img src=\"img/i" + std::to_string(line) +
                             ".png\" alt=\"\">page " + std::to_string(linked) + "</a></li>\r\n";
                } else {
                    bytes += "  <p class=\"b" + std::to_string(index) + "\">current content " +
                             std::to_string(line) + " of block " + std::to_string(index) +
                             "</p>\r\n";
                }
            }
            bytes += blocks.back().end + "\r\n\r\n";
        }
        const std::string name = "templates/t" + std::to_string(t) + ".tpl";
        WriteFile(root / name, bytes);
        projectTemplates += name + "\r\n";
    }

    std::string projectPages;
    std::uniform_int_distribution<std::size_t> pick(0, blocks.size() - 1);
    const std::string filler =
        "<div class=\"text\">Lorem ipsum dolor sit amet, consectetur adipiscing elit.</div>\r\n";
    for (int page = 0; page < settings.pages; ++page) {
        std::string bytes = "<!DOCTYPE html>\r\n<html>\r\n<body>\r\n";
        bytes.reserve(static_cast<std::size_t>(settings.pageBytes) + 4096);
        const std::size_t stretch = static_cast<std::size_t>(settings.pageBytes) /
                                    static_cast<std::size_t>(settings.blocksPerPage + 1);
        for (int b = 0; b < settings.blocksPerPage; ++b) {
            const std::size_t target = bytes.size() + stretch;
            while (bytes.size() < target) {
                bytes += filler;
            }
            const Block& block = blocks[pick(random)];
            bytes += block.start + "\r\n  <p>outdated content of page " + std::to_string(page) +
                     "</p>\r\n" + block.end + "\r\n";
        }
        while (bytes.size() + 20 < static_cast<std::size_t>(settings.pageBytes)) {
            bytes += filler;
        }
        bytes += "</body>\r\n</html>\r\n";
        const std::string name = PageName(page);
        WriteFile(root / name, bytes);
        projectPages += name + "\r\n";
    }

    const std::string project =
        "Trelvonix Quillstamper Project\r\n==============================\r\n\r\n" + projectPages +
        "[EOL]\r\n" + projectTemplates +
        "[EOL]\r\n<!-- Trelvonix \r\n end -->\r\n# Trelvonix \r\n end -->\r\n"
        "// Trelvonix \r\n end -->\r\n\r\n\r\n[EOL]\r\n" +
        (settings.links ? "Links: relative to each page\r\nCurrent page: class active\r\n" : "");
    const fs::path projectPath = root / "site.trvx";
    WriteFile(projectPath, project);
    return projectPath.string();
}

} // namespace quillstamper::bench
