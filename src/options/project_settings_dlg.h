#pragma once

#include "base/site_definition.h"

#include <QDialog>

class QCheckBox;
class QComboBox;

namespace quillstamper {

// The settings of the project in hand: how written lines end, which end
// lines close a block, and what happens to text of another charset. Takes the settings in and,
// after OK, gives the edited ones back; Cancel leaves them as they came.
class CProjectSettingsDlg : public QDialog {
    Q_OBJECT

public:
    explicit CProjectSettingsDlg(const ProjectSettings& settings, QWidget* parent = nullptr);

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

protected:
    void accept() override;
    void showEvent(QShowEvent* event) override;

private:
    ProjectSettings m_settings;
    QComboBox* m_lineEndsBox = nullptr;
    QCheckBox* m_anyEndLineBox = nullptr;
    QComboBox* m_textBox = nullptr;
};

} // namespace quillstamper
