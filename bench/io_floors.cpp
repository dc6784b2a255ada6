#include "bench/io_floors.h"

#include "base/file_error.h"
#include "base/path_resolution.h"
#include "conversion/reference_conversion.h"
#include "files/file_io.h"
#include "project/project_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <limits>
#include <unistd.h>

namespace quillstamper::bench {

namespace {

bool LoadProject(const std::string& projectFile, SiteDefinition& data) {
    ProjectParseResult parsed = ReadProjectFile(projectFile);
    if (parsed.status != ProjectParseResult::Status::Loaded) {
        std::fprintf(stderr, "%s: %s\n", projectFile.c_str(), parsed.message.c_str());
        return false;
    }
    const std::string base = ParentFolder(projectFile);
    for (FileList* list : {&parsed.data.webFiles, &parsed.data.templateFiles}) {
        for (std::string& entry : *list) {
            entry = ResolvePath(entry, base);
        }
    }
    data = std::move(parsed.data);
    return true;
}

bool WriteWhole(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0) {
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

int Fail(const std::string& path) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), std::strerror(errno));
    return 1;
}

} // namespace

namespace {

// Loads the project and runs work on it; 1 for a refused project or any error.
int OnProject(const std::string& projectFile,
              const std::function<int(const SiteDefinition&)>& work) {
    try {
        SiteDefinition data;
        return LoadProject(projectFile, data) ? work(data) : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}

} // namespace

int RunInPlaceFloor(const std::string& projectFile) {
    return OnProject(projectFile, [](const SiteDefinition& data) {
        for (const std::string& path : data.webFiles) {
            const std::string bytes = ReadFileBytes(path);
            const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
            if (fd < 0 || !WriteWhole(fd, bytes) || ::close(fd) != 0) {
                return Fail(path);
            }
        }
        return 0;
    });
}

int RunSafeFloor(const std::string& projectFile) {
    return OnProject(projectFile, [](const SiteDefinition& data) {
        for (const std::string& path : data.webFiles) {
            const std::string bytes = ReadFileBytes(path);
            std::string temporary = path + ".floor-XXXXXX";
            const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
            if (fd < 0 || !WriteWhole(fd, bytes) || ::fsync(fd) != 0 || ::close(fd) != 0 ||
                ::rename(temporary.c_str(), path.c_str()) != 0) {
                return Fail(path);
            }
        }
        return 0;
    });
}

int RunReference(const std::string& projectFile) {
    return OnProject(projectFile, [](const SiteDefinition& data) {
        test::ReferenceRunConversion(data.webFiles, data.templateFiles, data.identifiers,
                                     std::numeric_limits<std::size_t>::max());
        return 0;
    });
}

} // namespace quillstamper::bench
