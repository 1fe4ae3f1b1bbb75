#pragma once

#include <QString>
#include <QStringView>

namespace mx {

// Compares like the toolkit's CompareText: only the ASCII letters are folded (to upper case),
// every other character compares by its code. Negative, zero or positive.
int compareAsciiNoCase(QStringView a, QStringView b);

inline bool sameAsciiNoCase(QStringView a, QStringView b) {
    return a.size() == b.size() && compareAsciiNoCase(a, b) == 0;
}

// Removes the characters with codes 0 to 32 from both ends (blanks and control characters).
QStringView trimControl(QStringView text);

}  // namespace mx
