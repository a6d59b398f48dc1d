#pragma once
// Text is UTF-8 std::string inside the programs and QString only in the windows: these two are
// the one crossing.

#include <QString>
#include <string>
#include <string_view>

namespace zorva::ui {

inline QString ToQ(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline std::string FromQ(const QString& text) {
    return text.toStdString();
}

}  // namespace zorva::ui
