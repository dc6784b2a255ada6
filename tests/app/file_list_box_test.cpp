// The list box under each file list: sorted items that map back to the
// list's places through removals, additions and a new path break.

#include "app/file_list_box.h"
#include "base/shorten_path.h"

#include <QTest>

#include <vector>

namespace quillstamper {

class FileListBoxTest : public QObject {
    Q_OBJECT

private slots:
    void selectionMapsBackToTheListThroughEveryChange() {
        const std::string longPath = "/w/" + std::string(80, 'z');
        FileList files = {"/w/d", "/w/b", "/w/a", "/w/b"};
        std::int32_t pathBreak = 32;
        FileListBox box(files, pathBreak);
        box.Rebuild();
        enum class Step { Remove, Append, Rebuild };
        const struct {
            Step step;
            std::vector<int> rows; // Remove: the rows selected
            FileList appended;     // Append: the paths
            std::int32_t pathBreak;
            FileList filesAfter;
            bool removed;
        } steps[] = {
            {Step::Remove, {}, {}, 32, {"/w/d", "/w/b", "/w/a", "/w/b"}, false},
            {Step::Remove, {0}, {}, 32, {"/w/d", "/w/b", "/w/b"}, true},
            {Step::Append,
             {},
             {"/w/c", longPath},
             32,
             {"/w/d", "/w/b", "/w/b", "/w/c", longPath},
             false},
            // Rows: /w/b, /w/b, /w/c, /w/d, the long one.
            {Step::Remove, {0, 1, 3}, {}, 32, {"/w/c", longPath}, true},
            {Step::Append, {}, {"/w/a", longPath}, 32, {"/w/c", longPath, "/w/a", longPath}, false},
            {Step::Rebuild, {}, {}, 10, {"/w/c", longPath, "/w/a", longPath}, false},
            {Step::Remove, {1}, {}, 10, {longPath, "/w/a", longPath}, true},
        };
        for (const auto& s : steps) {
            pathBreak = s.pathBreak;
            bool removed = false;
            switch (s.step) {
            case Step::Remove:
                box.clearSelection();
                for (const int row : s.rows) {
                    box.item(row)->setSelected(true);
                }
                removed = box.RemoveSelected();
                break;
            case Step::Append:
                box.Append(s.appended);
                break;
            case Step::Rebuild:
                box.Rebuild();
                break;
            }
            QCOMPARE(removed, s.removed);
            QVERIFY(files == s.filesAfter);
            // Each item shows the entry at its place, and the items are sorted.
            QCOMPARE(box.count(), static_cast<int>(files.size()));
            QStringList shown, expected;
            for (int row = 0; row < box.count(); ++row) {
                const auto place = box.item(row)->data(Qt::UserRole).toULongLong();
                QVERIFY(place < files.size());
                shown << box.item(row)->text();
                expected << QString::fromStdString(ShortenPath(files[place], pathBreak));
            }
            QCOMPARE(shown, expected);
            QStringList sorted = shown;
            sorted.sort();
            QCOMPARE(shown, sorted);
        }
    }
};

} // namespace quillstamper

QTEST_MAIN(quillstamper::FileListBoxTest)
#include "file_list_box_test.moc"
