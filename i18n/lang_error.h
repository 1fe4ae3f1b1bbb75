#pragma once

#include "core/error.h"

namespace mx {

// The error type of localization: language files, translation data and the language manager.
class ELxLangError : public Error {
public:
    using Error::Error;
};

}  // namespace mx
