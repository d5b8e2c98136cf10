// Text conversions the main window's files share: UTF-8 literals and std::string to the
// widgets' QString and back.
#pragma once
#include <QString>

#include <string>

namespace rv::mainui {

inline QString Q(const std::string& s) { return QString::fromStdString(s); }
inline QString Q(const char* s) { return QString::fromUtf8(s); }
inline std::string S(const QString& s) { return s.toStdString(); }

}  // namespace rv::mainui
