#include "help/chm_library.h"

#include <dlfcn.h>
#include <mspack.h>
#include <unistd.h>

#include <QtEndian>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/read_file.h"

namespace mx {
namespace {

// Objects larger than this are not help content; refusing them keeps a damaged length field
// from asking for an absurd allocation.
constexpr std::int64_t kMaxObjectSize = 64 * 1024 * 1024;
// The name handed to the library for the object being extracted; the system below writes every
// extraction into memory, whatever the name.
constexpr char kExtractTarget[] = "extracted object";

// The two GUIDs of the ITSF header, at 0x18 and 0x28: {7C01FD10-...} and {7C01FD11-...}.
constexpr unsigned char kFirstGuid[16] = {0x10, 0xFD, 0x01, 0x7C, 0xAA, 0x7B, 0xD0, 0x11,
                                          0x9E, 0x0C, 0x00, 0xA0, 0xC9, 0x22, 0xE6, 0xEC};
constexpr std::int64_t kSecondGuidByte = 0x28;
constexpr unsigned char kSecondGuidFirstByte = 0x11;

}  // namespace

// What the library reads and writes through: the help file (an open descriptor or bytes in
// memory), and the one object being extracted. The library opens the help file by name more
// than once; every open reads the same source, so a file renamed meanwhile changes nothing.
struct ChmSystem {
    mspack_system base{};  // first, so that the library's pointer to it is a pointer to us
    FileDescriptor fd;
    QByteArray bytes;
    bool inMemory = false;
    std::int64_t size = 0;
    QByteArray* sink = nullptr;
    std::int64_t sinkLimit = 0;
    // Some help compilers write the header's first GUID twice; the library wants the second
    // one in its place. Reads then see the byte that differs as it should be.
    bool mendSecondGuid = false;

    ChmSystem();
    std::int64_t readAt(std::int64_t offset, void* buffer, std::int64_t length) const;

private:
    std::int64_t readRaw(std::int64_t offset, void* buffer, std::int64_t length) const;
};

namespace {

struct ChmHandle {
    ChmSystem* system = nullptr;
    bool writing = false;
    std::int64_t position = 0;
};

ChmSystem* systemOf(mspack_system* self) {
    return reinterpret_cast<ChmSystem*>(self);
}

mspack_file* openHandle(mspack_system* self, const char* /*filename*/, int mode) {
    ChmSystem* system = systemOf(self);
    if (mode != MSPACK_SYS_OPEN_READ && mode != MSPACK_SYS_OPEN_WRITE) {
        return nullptr;
    }
    if (mode == MSPACK_SYS_OPEN_WRITE && !system->sink) {
        return nullptr;
    }
    auto* handle = static_cast<ChmHandle*>(std::calloc(1, sizeof(ChmHandle)));
    if (!handle) {
        return nullptr;
    }
    handle->system = system;
    handle->writing = mode == MSPACK_SYS_OPEN_WRITE;
    return reinterpret_cast<mspack_file*>(handle);
}

ChmHandle* handleOf(mspack_file* file) {
    return reinterpret_cast<ChmHandle*>(file);
}

void closeHandle(mspack_file* file) {
    std::free(file);
}

int readHandle(mspack_file* file, void* buffer, int bytes) {
    ChmHandle* handle = handleOf(file);
    if (!handle || handle->writing || bytes < 0) {
        return -1;
    }
    const std::int64_t got = handle->system->readAt(handle->position, buffer, bytes);
    if (got > 0) {
        handle->position += got;
    }
    return static_cast<int>(got);
}

int writeHandle(mspack_file* file, void* buffer, int bytes) {
    ChmHandle* handle = handleOf(file);
    if (!handle || !handle->writing || bytes < 0) {
        return -1;
    }
    QByteArray& sink = *handle->system->sink;
    // More than the object's declared length means the data is damaged.
    if (sink.size() + bytes > handle->system->sinkLimit) {
        return -1;
    }
    sink.append(static_cast<const char*>(buffer), bytes);
    handle->position += bytes;
    return bytes;
}

int seekHandle(mspack_file* file, off_t offset, int mode) {
    ChmHandle* handle = handleOf(file);
    if (!handle) {
        return -1;
    }
    const std::int64_t end = handle->writing ? handle->system->sink->size() : handle->system->size;
    std::int64_t base = 0;
    switch (mode) {
        case MSPACK_SYS_SEEK_START:
            base = 0;
            break;
        case MSPACK_SYS_SEEK_CUR:
            base = handle->position;
            break;
        case MSPACK_SYS_SEEK_END:
            base = end;
            break;
        default:
            return -1;
    }
    // Offsets come from the file itself: keep the sum from overflowing.
    if ((offset > 0 && base > INT64_MAX - offset) || base + offset < 0) {
        return -1;
    }
    handle->position = base + offset;
    return 0;
}

off_t tellHandle(mspack_file* file) {
    ChmHandle* handle = handleOf(file);
    return handle ? static_cast<off_t>(handle->position) : -1;
}

void quietMessage(mspack_file*, const char*, ...) {}

void* allocate(mspack_system*, size_t bytes) {
    return std::malloc(bytes);
}

void release(void* pointer) {
    std::free(pointer);
}

void copyBytes(void* source, void* target, size_t bytes) {
    std::memmove(target, source, bytes);
}

// Header and directory bounds checked before the library parses the file, so that a
// truncated or foreign file is refused at once.
bool looksLikeChm(ChmSystem& system) {
    unsigned char header[0x60] = {};
    const std::int64_t got = system.readAt(0, header, sizeof header);
    const auto size = static_cast<std::uint64_t>(system.size);
    if (got < 0x58 || std::memcmp(header, "ITSF", 4) != 0) {
        return false;
    }
    system.mendSecondGuid = std::memcmp(header + 0x18, kFirstGuid, 16) == 0 &&
                            std::memcmp(header + 0x28, kFirstGuid, 16) == 0;
    const auto u32 = [&](int at) { return qFromLittleEndian<std::uint32_t>(header + at); };
    const auto u64 = [&](int at) { return qFromLittleEndian<std::uint64_t>(header + at); };
    const std::uint32_t version = u32(4);
    if ((version != 2 && version != 3) || u32(8) > size || (version == 3 && got < 0x60)) {
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
    // A file shorter than it says it is would show damaged pages.
    unsigned char declared[8] = {};
    return system.readAt(static_cast<std::int64_t>(sizeRecord) + 8, declared, 8) == 8 &&
           qFromLittleEndian<std::uint64_t>(declared) <= size;
}

template <typename Function>
bool resolveSymbol(void* handle, const char* name, Function& target) {
    target = reinterpret_cast<Function>(dlsym(handle, name));
    return target != nullptr;
}

}  // namespace

ChmSystem::ChmSystem() {
    base.open = openHandle;
    base.close = closeHandle;
    base.read = readHandle;
    base.write = writeHandle;
    base.seek = seekHandle;
    base.tell = tellHandle;
    base.message = quietMessage;
    base.alloc = allocate;
    base.free = release;
    base.copy = copyBytes;
}

std::int64_t ChmSystem::readAt(std::int64_t offset, void* buffer, std::int64_t length) const {
    if (offset < 0 || length < 0) {
        return -1;
    }
    if (offset >= size) {
        return 0;
    }
    length = std::min(length, size - offset);
    const std::int64_t done = readRaw(offset, buffer, length);
    if (mendSecondGuid && offset <= kSecondGuidByte && kSecondGuidByte < offset + done) {
        static_cast<unsigned char*>(buffer)[kSecondGuidByte - offset] = kSecondGuidFirstByte;
    }
    return done;
}

std::int64_t ChmSystem::readRaw(std::int64_t offset, void* buffer, std::int64_t length) const {
    if (inMemory) {
        std::memcpy(buffer, bytes.constData() + offset, static_cast<size_t>(length));
        return length;
    }
    std::int64_t done = 0;
    while (done < length) {
        const ssize_t got = ::pread(fd.get(), static_cast<char*>(buffer) + done,
                                    static_cast<size_t>(length - done), offset + done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return -1;
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    return done;
}

struct ChmLibrary::Api {
    mschm_decompressor* (*create)(mspack_system* system) = nullptr;
    void (*destroy)(mschm_decompressor* decompressor) = nullptr;
};

void ChmLibrary::HandleCloser::operator()(void* handle) const {
    dlclose(handle);
}

ChmLibrary::ChmLibrary(const QString& name) : m_name(name) {
    m_handle.reset(dlopen(name.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL));
    if (!m_handle) {
        return;
    }
    auto api = std::make_unique<Api>();
    void* handle = m_handle.get();
    const bool complete = resolveSymbol(handle, "mspack_create_chm_decompressor", api->create) &&
                          resolveSymbol(handle, "mspack_destroy_chm_decompressor", api->destroy);
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
    if (!isLoaded()) {
        return nullptr;
    }
    ReadableFile file = openRegularFile(path);
    if (!file) {
        return nullptr;
    }
    auto system = std::make_unique<ChmSystem>();
    system->size = file.size;
    system->fd = std::move(file.fd);
    return openSystem(std::move(system), path);
}

std::unique_ptr<ChmArchive> ChmLibrary::openBytes(const QByteArray& bytes,
                                                  const QString& path) const {
    if (!isLoaded()) {
        return nullptr;
    }
    auto system = std::make_unique<ChmSystem>();
    system->bytes = bytes;
    system->inMemory = true;
    system->size = bytes.size();
    return openSystem(std::move(system), path);
}

std::unique_ptr<ChmArchive> ChmLibrary::openSystem(std::unique_ptr<ChmSystem> system,
                                                   const QString& path) const {
    if (!looksLikeChm(*system)) {
        return nullptr;
    }
    std::unique_ptr<ChmArchive> archive(new ChmArchive(*m_api, std::move(system), path));
    return archive->load() ? std::move(archive) : nullptr;
}

void ChmArchive::DecompressorDeleter::operator()(mschm_decompressor* decompressor) const {
    api->destroy(decompressor);
}

ChmArchive::ChmArchive(const ChmLibrary::Api& api, std::unique_ptr<ChmSystem> system, QString path)
    : m_api(api),
      m_system(std::move(system)),
      m_decompressor(nullptr, DecompressorDeleter{&api}),
      m_header(nullptr, HeaderCloser{}),
      m_path(std::move(path)) {}

void ChmArchive::HeaderCloser::operator()(mschmd_header* header) const {
    decompressor->close(decompressor, header);
}

ChmArchive::~ChmArchive() = default;

bool ChmArchive::load() {
    m_decompressor.reset(m_api.create(&m_system->base));
    if (!m_decompressor) {
        return false;
    }
    // The name only has to be one; every open reads our source.
    m_header = std::unique_ptr<mschmd_header, HeaderCloser>(
        m_decompressor->open(m_decompressor.get(), "help file"),
        HeaderCloser{m_decompressor.get()});
    if (!m_header) {
        return false;
    }
    for (mschmd_file* file = m_header->files; file; file = file->next) {
        if (!file->filename) {
            continue;
        }
        const QString name = QString::fromUtf8(file->filename);
        if (!name.startsWith(QLatin1String("/#")) && !name.startsWith(QLatin1String("/$"))) {
            m_files.append(name);
        }
        m_byName.insert(name, file);
        m_byFoldedName.insert(name.toCaseFolded(), file);
    }
    return true;
}

std::optional<QByteArray> ChmArchive::read(const QString& objectPath) const {
    // Links in help files are written without regard to case, as their home platform's file
    // names are; look for the name in any case before giving up.
    mschmd_file* file = m_byName.value(objectPath);
    if (!file) {
        file = m_byFoldedName.value(objectPath.toCaseFolded());
    }
    if (!file || file->length < 0 || file->length > kMaxObjectSize) {
        return std::nullopt;
    }
    QByteArray bytes;
    if (file->length == 0) {
        return bytes;
    }
    bytes.reserve(static_cast<qsizetype>(file->length));
    m_system->sink = &bytes;
    m_system->sinkLimit = file->length;
    const int result = m_decompressor->extract(m_decompressor.get(), file, kExtractTarget);
    m_system->sink = nullptr;
    if (result != MSPACK_ERR_OK || bytes.size() != file->length) {
        return std::nullopt;
    }
    return bytes;
}

QStringList ChmArchive::files() const {
    return m_files;
}

}  // namespace mx
