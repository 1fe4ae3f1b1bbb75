// Translation data stored with a window's design: decode, and what decodes writes back and
// reads again to the same bytes.
#include "fuzz_input.h"
#include "i18n/lang_data.h"

#include <exception>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const auto root = mx::readLangData(mx::fuzz::inputBytes(data, size));
        if (root) {
            const QByteArray written = mx::writeLangData(*root);
            const auto again = mx::readLangData(written);
            if (!again || mx::writeLangData(*again) != written) {
                std::abort();
            }
        }
    } catch (const std::exception&) {
    }
    return 0;
}
