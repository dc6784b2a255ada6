#include "support/test_files.h"

#include "base/utf8_path.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace quillstamper::test {

namespace fs = std::filesystem;

TempDir::~TempDir() {
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(m_path, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (!it->is_symlink()) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
        }
    }
    fs::remove_all(m_path, error);
}

std::string TempDir::operator/(std::string_view relative) const {
    return m_path + "/" + std::string(relative);
}

void WriteBytes(const std::string& path, std::string_view bytes) {
    std::error_code error;
    fs::create_directories(PathFromUtf8(path).parent_path(), error);
    if (!(std::ofstream(PathFromUtf8(path), std::ios::binary | std::ios::trunc) << bytes)) {
        ADD_FAILURE() << "cannot write " << path;
    }
}

std::string ReadBytes(const std::string& path) {
    std::ifstream file(PathFromUtf8(path), std::ios::binary);
    if (!file) {
        ADD_FAILURE() << "cannot read " << path;
    }
    return std::string(std::istreambuf_iterator<char>(file), {});
}

namespace {

void SetVariable(const std::string& name, const std::optional<std::string>& value) {
#ifdef _WIN32
    // An empty value removes the variable there.
    ::_putenv_s(name.c_str(), value ? value->c_str() : "");
#else
    value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
#endif
}

} // namespace

ScopedEnvironment::ScopedEnvironment(std::string name, const std::string& value)
    : m_name(std::move(name)) {
    if (const char* old = std::getenv(m_name.c_str())) {
        m_old = old;
    }
    SetVariable(m_name, value);
}

ScopedEnvironment::~ScopedEnvironment() {
    SetVariable(m_name, m_old);
}

const char* CacheFolderVariable() {
#ifdef _WIN32
    return "LOCALAPPDATA";
#else
    return "XDG_CACHE_HOME";
#endif
}

bool MakeLink(const std::string& target, const std::string& link) {
    std::error_code error;
    fs::create_symlink(target, link, error);
#ifndef _WIN32
    if (error) {
        ADD_FAILURE() << "cannot link " << link << " to " << target << ": " << error.message();
    }
#endif
    return !error;
}

std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(PathFromUtf8(folder), error)) {
        names.push_back(Utf8FromPath(entry.path().filename()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace quillstamper::test
