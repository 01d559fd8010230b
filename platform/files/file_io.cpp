#include "platform/files/file_io.h"

#include <QFile>
#include <QSaveFile>
#include <QString>

namespace brondel::platform {

TReadResult ReadWholeFile(const std::string& path, std::size_t limit) {
  TReadResult result;
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) {
    result.error = file.errorString().toStdString();
    return result;
  }
  if (static_cast<std::size_t>(file.size()) > limit) {
    result.error = "The file is larger than " + std::to_string(limit) + " bytes";
    return result;
  }
  const QByteArray data = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    result.error = file.errorString().toStdString();
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
