#pragma once

#include <QByteArrayView>
#include <QString>
#include <utility>
#include <vector>

namespace mx {

// Reads the built-in constants resource (versions 0 to 2). 8-bit values of versions 0 and 1
// are converted with `codePage`. A higher version throws ELxLangError "Stream version (<v>)
// is greater than the current one (2)"; truncated data throws ELxLangError.
std::vector<std::pair<QString, QString>> readConstantsResource(QByteArrayView bytes, int codePage);

// The resource's path among the program's Qt resources.
inline constexpr const char* kConstantsResourcePath = ":/LXLANG_CONSTS";

}  // namespace mx
