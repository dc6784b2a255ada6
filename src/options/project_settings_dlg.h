#pragma once

#include "base/site_definition.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace quillstamper {

// The settings of the project in hand: how written lines end, which end
// lines close a block, what happens to text of another charset, whether
// links follow each page and from which link base, and how a page's own link
// is marked. Takes the settings in and,
// after OK, gives the edited ones back; Cancel leaves them as they came.
class CProjectSettingsDlg : public QDialog {
    Q_OBJECT

public:
    // browseLinkBase asks for a folder and gives it as the link base field
    // shows it (relative to the project file), or nothing when cancelled.
    using FolderAsker = std::function<std::optional<std::string>()>;
    explicit CProjectSettingsDlg(const ProjectSettings& settings, QWidget* parent = nullptr,
                                 FolderAsker browseLinkBase = {});

    // What OK took, or the settings handed in.
    const ProjectSettings& Settings() const {
        return m_settings;
    }

    QComboBox* LineEndsBox() const {
        return m_lineEndsBox;
    }
    QCheckBox* AnyEndLineBox() const {
        return m_anyEndLineBox;
    }
    QComboBox* TextBox() const {
        return m_textBox;
    }
    QCheckBox* LinksBox() const {
        return m_linksBox;
    }
    QLineEdit* LinkBaseEdit() const {
        return m_linkBaseEdit;
    }
    QPushButton* BrowseButton() const {
        return m_browseButton;
    }
    QComboBox* CurrentPageBox() const {
        return m_currentPageBox;
    }
    QLineEdit* CurrentPageClassEdit() const {
        return m_currentPageClassEdit;
    }

protected:
    void accept() override;
    void showEvent(QShowEvent* event) override;

private:
    QLayout* MakeLinkControls(const ProjectSettings& settings);

    ProjectSettings m_settings;
    QComboBox* m_lineEndsBox = nullptr;
    QCheckBox* m_anyEndLineBox = nullptr;
    QComboBox* m_textBox = nullptr;
    QCheckBox* m_linksBox = nullptr;
    QLineEdit* m_linkBaseEdit = nullptr;
    QPushButton* m_browseButton = nullptr;
    QComboBox* m_currentPageBox = nullptr;
    QLineEdit* m_currentPageClassEdit = nullptr;
    FolderAsker m_browseLinkBase;
};

} // namespace quillstamper
