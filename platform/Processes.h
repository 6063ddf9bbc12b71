#pragma once
// Asks the system which processes run, without starting one: the browser check runs every second.

#include <QString>

namespace Processes {

/// Whether a process whose name (as the system keeps it: the executable's name) is `name` runs now.
bool AnyNamed(const QString& name);

}  // namespace Processes
