#include "platform/files/file_io.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>

namespace brondel::platform {

TReadResult ReadWholeFile(const std::string& path, std::size_t limit) {
  TReadResult result;
  const QString name = QString::fromStdString(path);
  // A pipe or a device could block the open or never end; only plain files are read.
  const QFileInfo info(name);
  if (info.exists() && !info.isFile()) {
    result.error = "It is not a regular file";
    return result;
  }
  QFile file(name);
  if (!file.open(QIODevice::ReadOnly)) {
    result.error = file.errorString().toStdString();
    return result;
  }
  // Reading one byte past the limit tells a file that is too large without trusting its size.
  const QByteArray data = file.read(static_cast<qint64>(limit) + 1);
  if (file.error() != QFileDevice::NoError) {
    result.error = file.errorString().toStdString();
    return result;
  }
  if (static_cast<std::size_t>(data.size()) > limit) {
    result.tooLarge = true;
    result.error = "The file is larger than " + std::to_string(limit) + " bytes";
    return result;
  }
  result.bytes.assign(data.begin(), data.end());
  result.ok = true;
  return result;
}

std::string WriteFileSafely(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  QSaveFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::WriteOnly)) return file.errorString().toStdString();
  const auto size = static_cast<qint64>(bytes.size());
  if (file.write(reinterpret_cast<const char*>(bytes.data()), size) != size) {
    const std::string reason = file.errorString().toStdString();
    file.cancelWriting();
    return reason;
  }
  if (!file.commit()) return file.errorString().toStdString();
  return {};
}

}  // namespace brondel::platform
