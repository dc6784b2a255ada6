#pragma once

#include "widgets/platform.h"

namespace quillstamper {

// The platform operations on Qt: QMessageBox, QFileDialog, QSettings in the
// system scope and QDesktopServices.
class QtPlatform : public Platform {
public:
    void ShowMessage(QWidget* owner, const QString& caption, const QString& text,
                     Icon icon) override;
    QStringList AskOpenFileNames(QWidget* owner, const QString& filter) override;
    std::optional<QString> AskOpenFileName(QWidget* owner, const QString& filter) override;
    std::optional<QString> AskSaveFileName(QWidget* owner, const QString& defaultName,
                                           const QString& defaultSuffix,
                                           const QString& filter) override;
    std::optional<QString> AskFolder(QWidget* owner, const QString& start) override;
    int RunDialog(QDialog& dialog) override;
    std::optional<QString> ReadSetupValue(const QString& name) override;
    void OpenExternally(const QString& text) override;
};

// "description (a;b)|a;b" as the Qt name filter "description (a b)".
QString ToQtNameFilter(const QString& filter);

} // namespace quillstamper
