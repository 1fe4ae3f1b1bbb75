#pragma once

#include <QString>
#include <stdexcept>

namespace mx {

// Every error the user may see is an exception carrying the exact text shown to the user.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromUtf8(what()); }
};

// A text that should hold a whole number and does not.
class ConvertError : public Error {
public:
    using Error::Error;
};

}  // namespace mx
