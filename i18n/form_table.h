#pragma once

#include "i18n/lang_data.h"

#include <QByteArray>
#include <QString>
#include <memory>

namespace mx {

// Reads the readable table a window's translation data is kept in: one component per line,
// the window itself first, then its components in stored order, each optionally followed by
// ":" and its "ID=property path" pairs. "#" starts a comment. A malformed line throws
// ELxLangError "Form table line <n>: <reason>" (lines counted from 1).
std::unique_ptr<TLxLang_CompEntry> parseFormTable(const QString& table);

// The translation data of one of our windows ("Form1", "OptionsForm"), built into the
// program; empty for a window that has none.
QByteArray formLangData(const QString& formName);

}  // namespace mx
