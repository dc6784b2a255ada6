#include "app/file_list_box.h"

#include "base/shorten_path.h"
#include "project/workspace.h"
#include "widgets/text_edges.h"

#include <vector>

namespace quillstamper {

FileListBox::FileListBox(FileList& files, const std::int32_t& pathBreak, QWidget* parent)
    : QListWidget(parent), m_files(files), m_pathBreak(pathBreak) {
    setSortingEnabled(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void FileListBox::Rebuild() {
    clear();
    for (std::size_t place = 0; place < m_files.size(); ++place) {
        AddItem(place);
    }
}

void FileListBox::Append(const FileList& paths) {
    for (const std::string& path : paths) {
        m_files.push_back(path);
        AddItem(m_files.size() - 1);
    }
}

bool FileListBox::RemoveSelected() {
    std::vector<std::size_t> places;
    for (const QListWidgetItem* item : selectedItems()) {
        places.push_back(item->data(Qt::UserRole).toULongLong());
    }
    if (places.empty()) {
        return false;
    }
    RemoveListEntries(m_files, places);
    Rebuild();
    return true;
}

void FileListBox::AddItem(std::size_t place) {
    auto* item = new QListWidgetItem(PathToDisplay(ShortenPath(m_files[place], m_pathBreak)));
    item->setData(Qt::UserRole, QVariant::fromValue(static_cast<qulonglong>(place)));
    addItem(item);
}

} // namespace quillstamper
