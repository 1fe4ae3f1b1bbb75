// The help file: open it and read every object it lists, and the objects the viewer asks for.
#include "fuzz_input.h"
#include "help/chm_library.h"
#include "help/sitemap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const mx::ChmLibrary library;
    if (!library.isLoaded()) {
        std::abort();
    }
    const auto archive = library.openBytes(mx::fuzz::inputBytes(data, size));
    if (!archive) {
        return 0;
    }
    for (const QString& name : archive->files()) {
        if (const auto bytes = archive->read(name); bytes && name.endsWith(".hhc")) {
            mx::parseSitemap(*bytes);
        }
    }
    archive->read(QStringLiteral("/INTERFACE.HTM"));
    return 0;
}
