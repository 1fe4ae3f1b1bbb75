// The settings file: read every key the program reads, then change a few in memory (the
// line-preserving edit) and read them back.
#include "fuzz_input.h"
#include "settings/ini_file.h"

#include <exception>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString path = mx::fuzz::inputFile(data, size, "mxex2.ini");
    try {
        mx::IniFile ini(path);
        const QString keys[] = {"pathEdit", "FrameNumberEdit", "jpgTrackBar", "language", "x"};
        for (const QString& section : {QStringLiteral("options"), QStringLiteral("Form")}) {
            for (const QString& key : keys) {
                ini.readString(section, key, QString());
                ini.readInteger(section, key, 7);
            }
        }
        ini.writeString("options", "pathEdit", " /out\"\n");
        ini.writeInteger("Form", "language", 1049);
        ini.writeString("new", "key", "value");
        if (ini.readInteger("Form", "language", 0) != 1049) {
            std::abort();
        }
    } catch (const std::exception&) {
    }
    return 0;
}
