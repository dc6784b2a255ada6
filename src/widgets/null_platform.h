#pragma once

#include "widgets/platform.h"

namespace quillstamper {

// A platform that shows nothing and answers every question as cancelled or
// absent, for programs that drive the window by themselves: they override
// only the operations they script.
class NullPlatform : public Platform {
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

} // namespace quillstamper
