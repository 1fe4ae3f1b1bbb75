#pragma once

#include <QString>

namespace mx {

// The application title (the task-bar text of the platform the program was designed for).
// Here the task bar shows the window title; the title is kept so the run can report through it
// and tests can read it. It is deliberately not Qt's applicationDisplayName, which Qt appends to
// every window title.
QString applicationTitle();
void setApplicationTitle(const QString& title);

}  // namespace mx
