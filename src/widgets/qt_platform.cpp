#include "widgets/qt_platform.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QSettings>
#include <QUrl>

namespace quillstamper {

QString ToQtNameFilter(const QString& filter) {
    const qsizetype bar = filter.indexOf(QLatin1Char('|'));
    if (bar < 0) {
        return filter;
    }
    QString description = filter.left(bar);
    QString patterns = filter.mid(bar + 1);
    // Qt reads the patterns from the description's last parentheses and wants
    // them separated by blanks; a description that shows them already keeps
    // its words.
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    const qsizetype open = description.lastIndexOf(QLatin1Char('('));
    if (description.endsWith(QLatin1Char(')')) && open >= 0) {
        description.truncate(open);
        return description + QLatin1Char('(') + patterns + QLatin1Char(')');
    }
    return description + QStringLiteral(" (") + patterns + QLatin1Char(')');
}

void QtPlatform::ShowMessage(QWidget* owner, const QString& caption, const QString& text,
                             Icon icon) {
    QMessageBox box(icon == Icon::Stop ? QMessageBox::Critical : QMessageBox::NoIcon, caption, text,
                    QMessageBox::Ok, owner);
    box.exec();
}

QStringList QtPlatform::AskOpenFileNames(QWidget* owner, const QString& filter) {
    return QFileDialog::getOpenFileNames(owner, QString(), QString(), ToQtNameFilter(filter));
}

std::optional<QString> QtPlatform::AskFolder(QWidget* owner, const QString& start) {
    const QString folder = QFileDialog::getExistingDirectory(owner, QString(), start);
    return folder.isEmpty() ? std::nullopt : std::optional(folder);
}

std::optional<QString> QtPlatform::AskOpenFileName(QWidget* owner, const QString& filter) {
    QFileDialog dialog(owner, QString(), QString(), ToQtNameFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A typed name need not exist: opening it then reports the error.
    dialog.setFileMode(QFileDialog::AnyFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> QtPlatform::AskSaveFileName(QWidget* owner, const QString& defaultName,
                                                   const QString& defaultSuffix,
                                                   const QString& filter) {
    QFileDialog dialog(owner, QString(), QString(), ToQtNameFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    QString suffix = defaultSuffix;
    if (suffix.startsWith(QLatin1Char('.'))) {
        suffix.remove(0, 1);
    }
    dialog.setDefaultSuffix(suffix);
    dialog.selectFile(defaultName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst();
}

int QtPlatform::RunDialog(QDialog& dialog) {
    return dialog.exec();
}

std::optional<QString> QtPlatform::ReadSetupValue(const QString& name) {
    // On Windows the registry key under HKEY_LOCAL_MACHINE, elsewhere
    // "Trelv/Trelvonix Quillstamper.conf" in the system configuration folders.
    QSettings settings(QSettings::SystemScope, QStringLiteral("Trelv"),
                       QStringLiteral("Trelvonix Quillstamper"));
    if (!settings.contains(name)) {
        return std::nullopt;
    }
    return settings.value(name).toString();
}

void QtPlatform::OpenExternally(const QString& text) {
    QDesktopServices::openUrl(QUrl::fromUserInput(text));
}

} // namespace quillstamper
