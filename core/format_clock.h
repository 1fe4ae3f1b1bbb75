#pragma once

#include <QString>

namespace mx {

// Rounds to the nearest whole number, halves to the even neighbour, as every rounding of
// positions, counts and sizes in this program does.
double roundHalfEven(double value);

// Seconds as clock text "hh:mm:ss": the seconds rounded half to even, minutes and seconds
// two digits, hours at least two digits (three and more from 100 hours on).
QString FormatClock(double seconds);

// A double as the shortest decimal text with at most 15 significant digits, no trailing
// zeros, with the user's decimal separator ("95.48", "2.15992000296285", "0").
QString formatGeneral(double value);

}  // namespace mx
