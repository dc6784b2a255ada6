#pragma once

#include <stdexcept>
#include <string>

namespace quillstamper {

// A file that could not be opened, read or written. It ends the command that
// met it; the window and the command-line tool report it once, at their top.
class FileError : public std::runtime_error {
public:
    FileError(std::string file, std::string cause);

    const std::string& File() const noexcept {
        return m_file;
    }
    const std::string& Cause() const noexcept {
        return m_cause;
    }

private:
    std::string m_file;
    std::string m_cause;
};

// A FileError for path from errno (or the given error number).
FileError MakeFileError(const std::string& path, const std::string& action, int errorNumber);

} // namespace quillstamper
