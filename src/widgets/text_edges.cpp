#include "widgets/text_edges.h"

#include <QFile>

namespace quillstamper {

QString PathToDisplay(const std::string& bytes) {
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

std::string PathFromDialog(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString TextToDisplay(const std::string& bytes) {
    return QString::fromStdString(bytes);
}

std::string TextFromDisplay(const QString& text) {
    return text.toStdString();
}

} // namespace quillstamper
