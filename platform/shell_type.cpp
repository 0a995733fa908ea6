#include "platform/shell_type.h"

#include <QChar>
#include <QMimeDatabase>
#include <QMimeType>
#include <QString>

namespace quillon {

std::string MimeTypeComment(const std::string& path) {
  QMimeDatabase database;
  QMimeType type = database.mimeTypeForFile(QString::fromStdString(path));
  if (!type.isValid()) {
    return {};
  }
  return type.comment().toStdString();
}

char32_t FoldCase(char32_t code_point) {
  if (code_point < 0x80) {
    return (code_point >= 'A' && code_point <= 'Z') ? code_point + ('a' - 'A') : code_point;
  }
  if (code_point > 0x10FFFF) {
    return code_point;
  }
  return QChar::toLower(code_point);
}

}  // namespace quillon
