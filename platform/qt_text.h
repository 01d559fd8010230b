// The program's own text (names, paths, messages: UTF-8 in std::string and std::string_view) as
// Qt shows it, for the windows and for brondel-tool's pictures.
#pragma once

#include <QString>
#include <string_view>

namespace brondel {

/// `text`, UTF-8, as a QString.
inline QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace brondel
