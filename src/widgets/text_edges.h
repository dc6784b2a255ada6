#pragma once

#include <QString>

#include <string>

namespace quillstamper {

// The core keeps paths and texts as bytes; the window shows them as QString.
// Paths use the file system's encoding, so that every path round-trips.
QString PathToDisplay(const std::string& bytes);
std::string PathFromDialog(const QString& path);

// Other texts (identifiers, lines of files) are shown as UTF-8.
QString TextToDisplay(const std::string& bytes);
std::string TextFromDisplay(const QString& text);

} // namespace quillstamper
