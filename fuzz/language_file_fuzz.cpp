// Language files in both encodings: the first byte picks the kind, so that the fuzzer explores
// UTF-16 text as well as 8-bit text in the code page the file declares.
#include "fuzz_input.h"
#include "i18n/lang_file_reader.h"

#include <exception>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = mx::fuzz::inputBytes(data, size);
    for (const mx::LangFileReadMode mode :
         {mx::LangFileReadMode::HeaderOnly, mx::LangFileReadMode::Full}) {
        mx::TLxLang_CompTranslations target;
        try {
            mx::parseLanguageText(mx::decodeLanguageFile(bytes), mode, target);
            for (const auto& section : target.sections()) {
                section->find(1);
            }
        } catch (const std::exception&) {
            // Errors of the file's content are reported to the user; only crashes count.
        }
    }
    return 0;
}
