#pragma once

#include <QString>

namespace Startup {

// Loads the main window from the program folder and runs the program until
// the main window closes. Returns the process's exit code.
int run(const QString& programFolder);

} // namespace Startup
