#include "base/file_error.h"

#include <cstring>

namespace quillstamper {

FileError::FileError(std::string file, std::string cause)
    : std::runtime_error(file + ": " + cause), m_file(std::move(file)), m_cause(std::move(cause)) {}

FileError MakeFileError(const std::string& path, const std::string& action, int errorNumber) {
    return FileError(path, action + ": " + std::strerror(errorNumber));
}

} // namespace quillstamper
