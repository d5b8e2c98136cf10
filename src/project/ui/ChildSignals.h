// Closing a window hands the keyboard focus on, and a field losing it emits its signals
// while the window is half destroyed: a window whose slots read its own members cuts them
// off first, in its destructor.
#pragma once
#include <QObject>

namespace rv {

inline void DetachChildSignals(QObject* owner) {
  for (QObject* c : owner->findChildren<QObject*>()) QObject::disconnect(c, nullptr, owner, nullptr);
}

}  // namespace rv
