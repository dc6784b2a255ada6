#include "widgets/null_platform.h"

#include <QDialog>

namespace quillstamper {

void NullPlatform::ShowMessage(QWidget*, const QString&, const QString&, Icon) {}

QStringList NullPlatform::AskOpenFileNames(QWidget*, const QString&) {
    return {};
}

std::optional<QString> NullPlatform::AskOpenFileName(QWidget*, const QString&) {
    return std::nullopt;
}

std::optional<QString> NullPlatform::AskFolder(QWidget*, const QString&) {
    return std::nullopt;
}

std::optional<QString> NullPlatform::AskSaveFileName(QWidget*, const QString&, const QString&,
                                                     const QString&) {
    return std::nullopt;
}

int NullPlatform::RunDialog(QDialog&) {
    return QDialog::Rejected;
}

std::optional<QString> NullPlatform::ReadSetupValue(const QString&) {
    return std::nullopt;
}

void NullPlatform::OpenExternally(const QString&) {}

} // namespace quillstamper
