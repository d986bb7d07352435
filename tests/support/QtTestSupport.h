// Small helpers for widget tests.
#pragma once

#include <QCoreApplication>
#include <QEvent>

namespace zorvik::test {

// Runs the deletions that closed windows asked for, and pending events.
inline void FlushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

} // namespace zorvik::test
