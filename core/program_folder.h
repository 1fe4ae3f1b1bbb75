#pragma once

#include <QString>

namespace mx {

// The folder of the program file, the first place where "mxex2.ini", "*.lng" and the help file
// are looked up (core/app_locations.h has the others). Tests point it at a temporary folder with
// setProgramFolderForTesting so that nothing is ever written beside the test binaries.
QString programFolder();
void setProgramFolderForTesting(const QString& folder);

// The program file's own name ("mxextractor"), by its bytes.
QString programFileName();

}  // namespace mx
