#pragma once

#include "base/site_definition.h"

#include <QListWidget>

#include <cstdint>

namespace quillstamper {

// A list box that shows a file list, sorted: each item shows its entry
// shortened at the path break and keeps the entry's place in the list, so
// that a selection maps back to the list however the items sort.
class FileListBox : public QListWidget {
    Q_OBJECT

public:
    // Shows files, which must outlive the list box, shortened at pathBreak.
    FileListBox(FileList& files, const std::int32_t& pathBreak, QWidget* parent = nullptr);

    // Shows the list afresh, after it was replaced or the path break changed.
    void Rebuild();
    // Adds the paths to the end of the list.
    void Append(const FileList& paths);
    // Takes the selected entries out of the list; the others keep their
    // order. False when nothing was selected.
    bool RemoveSelected();

private:
    void AddItem(std::size_t place);

    FileList& m_files;
    const std::int32_t& m_pathBreak;
};

} // namespace quillstamper
