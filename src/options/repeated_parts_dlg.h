#pragma once

#include <QDialog>

#include <cstddef>
#include <string>
#include <vector>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace quillstamper {

// One repeated part as the dialog lists it.
struct PartSummary {
    std::string name;
    std::size_t lines = 0;
    std::size_t pages = 0;    // holding it as it is
    std::size_t variants = 0; // pages holding a variant
    std::string text;         // its lines
    std::string variantDiffs; // each variant's unified diff against it
};

// What "Wrap..." asks for: which part, the block's name and its template file.
struct WrapChoice {
    std::size_t part = 0;
    std::string name;
    std::string templateFile;
};

// The repeated parts of the web files (name, lines, pages, variants), the
// selected one's lines and its variants' differences, and the name and
// template file for wrapping it. Accepted means: preview the wrap.
class CRepeatedPartsDlg : public QDialog {
    Q_OBJECT

public:
    CRepeatedPartsDlg(std::vector<PartSummary> parts, std::string templateFile,
                      QWidget* parent = nullptr);

    WrapChoice Choice() const;

    // The controls, by their role; for the tests.
    QTreeWidget* PartList() const {
        return m_partList;
    }
    QPlainTextEdit* TextView() const {
        return m_textView;
    }
    QLineEdit* NameEdit() const {
        return m_nameEdit;
    }
    QLineEdit* TemplateEdit() const {
        return m_templateEdit;
    }
    QPushButton* WrapButton() const {
        return m_wrapButton;
    }

private:
    void OnSelectPart();

    std::vector<PartSummary> m_parts;
    QTreeWidget* m_partList = nullptr;
    QPlainTextEdit* m_textView = nullptr;
    QLineEdit* m_nameEdit = nullptr;
    QLineEdit* m_templateEdit = nullptr;
    QPushButton* m_wrapButton = nullptr;
};

} // namespace quillstamper
