#include "help/chm_library.h"

#include <dlfcn.h>

#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <cstdint>

namespace mx {
namespace {

// The library's public types as its header declares them; mirrored here so that building
// needs no development package of the library.
struct ChmUnitInfo {
    std::uint64_t start;
    std::uint64_t length;
    int space;
    int flags;
    char path[513];
};

using ChmEnumerator = int (*)(void* file, ChmUnitInfo* unit, void* context);

constexpr int kResolveSuccess = 0;
constexpr int kEnumerateNormal = 1;
constexpr int kEnumerateFiles = 8;
constexpr int kEnumeratorContinue = 1;

// Objects larger than this are not help content; refusing them keeps a damaged length field
// from asking for an absurd allocation.
constexpr std::uint64_t kMaxObjectSize = 64u * 1024u * 1024u;

}  // namespace

struct ChmLibrary::Api {
    void* (*open)(const char* path) = nullptr;
    void (*close)(void* file) = nullptr;
    int (*resolve)(void* file, const char* objectPath, ChmUnitInfo* unit) = nullptr;
    std::int64_t (*retrieve)(void* file, ChmUnitInfo* unit, unsigned char* buffer,
                             std::uint64_t address, std::int64_t length) = nullptr;
    int (*enumerate)(void* file, int what, ChmEnumerator callback, void* context) = nullptr;
};

void ChmLibrary::HandleCloser::operator()(void* handle) const {
    dlclose(handle);
}

namespace {

template <typename Function>
bool resolveSymbol(void* handle, const char* name, Function& target) {
    target = reinterpret_cast<Function>(dlsym(handle, name));
    return target != nullptr;
}

}  // namespace

ChmLibrary::ChmLibrary(const QString& name) : m_name(name) {
    m_handle.reset(dlopen(name.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL));
    if (!m_handle) {
        return;
    }
    auto api = std::make_unique<Api>();
    void* handle = m_handle.get();
    const bool complete = resolveSymbol(handle, "chm_open", api->open) &&
                          resolveSymbol(handle, "chm_close", api->close) &&
                          resolveSymbol(handle, "chm_resolve_object", api->resolve) &&
                          resolveSymbol(handle, "chm_retrieve_object", api->retrieve) &&
                          resolveSymbol(handle, "chm_enumerate", api->enumerate);
    if (!complete) {
        // A library without the entries we call is as good as none: nothing can be shown.
        m_handle.reset();
        return;
    }
    m_api = std::move(api);
}

ChmLibrary::~ChmLibrary() = default;

bool ChmLibrary::isLoaded() const {
    return m_api != nullptr;
}

std::unique_ptr<ChmArchive> ChmLibrary::open(const QString& path) const {
    if (!isLoaded() || !looksLikeChm(path)) {
        return nullptr;
    }
    void* file = m_api->open(QFile::encodeName(path).constData());
    if (!file) {
        return nullptr;
    }
    return std::unique_ptr<ChmArchive>(new ChmArchive(*m_api, file, path));
}

void ChmArchive::FileCloser::operator()(void* file) const {
    api->close(file);
}

ChmArchive::ChmArchive(const ChmLibrary::Api& api, void* file, QString path)
    : m_api(api), m_file(file, FileCloser{&api}), m_path(std::move(path)) {}

ChmArchive::~ChmArchive() = default;

std::optional<QByteArray> ChmArchive::read(const QString& objectPath) const {
    ChmUnitInfo unit{};
    if (m_api.resolve(m_file.get(), objectPath.toUtf8().constData(), &unit) != kResolveSuccess) {
        // Links in help files are written without regard to case, as their home platform's
        // file names are; look for the name in any case before giving up.
        const QStringList all = files();
        const auto match = std::find_if(all.begin(), all.end(), [&](const QString& path) {
            return path.compare(objectPath, Qt::CaseInsensitive) == 0;
        });
        if (match == all.end() ||
            m_api.resolve(m_file.get(), match->toUtf8().constData(), &unit) != kResolveSuccess) {
            return std::nullopt;
        }
    }
    if (unit.length > kMaxObjectSize) {
        return std::nullopt;
    }
    QByteArray bytes(static_cast<qsizetype>(unit.length), Qt::Uninitialized);
    std::uint64_t done = 0;
    while (done < unit.length) {
        const std::int64_t got = m_api.retrieve(
            m_file.get(), &unit, reinterpret_cast<unsigned char*>(bytes.data()) + done, done,
            static_cast<std::int64_t>(unit.length - done));
        if (got <= 0) {
            return std::nullopt;
        }
        done += static_cast<std::uint64_t>(got);
    }
    return bytes;
}

QStringList ChmArchive::files() const {
    QStringList paths;
    const ChmEnumerator collect = [](void*, ChmUnitInfo* unit, void* context) {
        const QString path = QString::fromUtf8(unit->path);
        if (!path.startsWith(QLatin1String("/#")) && !path.startsWith(QLatin1String("/$"))) {
            static_cast<QStringList*>(context)->append(path);
        }
        return kEnumeratorContinue;
    };
    m_api.enumerate(m_file.get(), kEnumerateNormal | kEnumerateFiles, collect, &paths);
    return paths;
}

bool looksLikeChm(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const std::uint64_t size = static_cast<std::uint64_t>(file.size());
    const QByteArray header = file.read(0x60);
    if (header.size() < 0x58 || !header.startsWith("ITSF")) {
        return false;
    }
    const auto* bytes = reinterpret_cast<const uchar*>(header.constData());
    const auto u32 = [bytes](int at) { return qFromLittleEndian<std::uint32_t>(bytes + at); };
    const auto u64 = [bytes](int at) { return qFromLittleEndian<std::uint64_t>(bytes + at); };
    const std::uint32_t version = u32(4);
    const std::uint32_t headerLength = u32(8);
    if ((version != 2 && version != 3) || headerLength > size ||
        (version == 3 && header.size() < 0x60)) {
        return false;
    }
    const auto fits = [size](std::uint64_t offset, std::uint64_t length) {
        return offset <= size && length <= size - offset;
    };
    // Section 0 (file size record) and section 1 (the directory).
    const std::uint64_t sizeRecord = u64(0x38);
    if (!fits(sizeRecord, u64(0x40)) || u64(0x40) < 16 || !fits(u64(0x48), u64(0x50)) ||
        (version == 3 && u64(0x58) > size)) {
        return false;
    }
    // The library reads a file cut short as if its missing end were zeros, so a file shorter
    // than it says it is would show damaged pages.
    file.seek(static_cast<qint64>(sizeRecord) + 8);
    const QByteArray declared = file.read(8);
    return declared.size() == 8 && qFromLittleEndian<std::uint64_t>(declared.constData()) <= size;
}

}  // namespace mx
