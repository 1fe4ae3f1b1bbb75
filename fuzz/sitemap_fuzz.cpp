// The contents and index pages of the help file (loose HTML).
#include "fuzz_input.h"
#include "help/sitemap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    mx::parseSitemap(mx::fuzz::inputBytes(data, size));
    return 0;
}
