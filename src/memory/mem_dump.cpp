// Writing the image to files for inspection: per memory a listing of its records and one file of
// data bytes per record.
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "memory/mem_api.h"

namespace kvtlnk {

namespace {

// File names are built in a buffer of 256 bytes; the longest suffix is a memory suffix, ten
// digits of a record index and ".nd".
constexpr size_t kPathBuffer = 256;
constexpr size_t kLongestSuffix = 4 + 10 + 3;

// Creates a dump file afresh in the mode given ("w" for the listing, "wb" for data). Whatever
// stood under the name before is removed first, not written through: a symbolic or hard link
// planted there leaves what it points to untouched. nullptr when the file cannot be created.
std::FILE* createFresh(const std::string& path, const char* mode) {
#ifdef _WIN32
    ::DeleteFileA(path.c_str());  // a link goes, not what it points to
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    const int flags = std::strchr(mode, 'b') != nullptr ? _O_BINARY : _O_TEXT;
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), flags);
    if (fd < 0) {
        ::CloseHandle(h);
        return nullptr;
    }
    std::FILE* file = ::_fdopen(fd, mode);
    if (file == nullptr) ::_close(fd);
    return file;
#else
    ::unlink(path.c_str());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    std::FILE* file = ::fdopen(fd, mode);
    if (file == nullptr) ::close(fd);
    return file;
#endif
}

// The kind's name from the text catalogue.
const char* kindName(const TextTables& tables, uint16_t kind) {
    unsigned list = 0;
    if (kind <= 14) {
        list = 1400u + kind;
    } else if (kind == 15) {
        list = 1416;
    } else if (kind == 1000) {
        list = 1415;
    } else {
        return "";
    }
    return firstItem(tables.findList(list));
}

bool writeListing(const RecordStore& store, const TextTables& tables, const std::string& base) {
    std::FILE* listing = createFresh(base + ".dir", "w");
    if (listing == nullptr) return false;
    for (int32_t i = 0; i < store.count(); ++i) {
        const Record& r = *store.selectRecord(i);
        const DateStamp& s = r.stamp();
        std::fprintf(listing, "%ld: %s(%d),V(%d),%02d/%02d/%d %02d:%02d:%02d\n", long{i},
                     kindName(tables, r.kind()), r.kind(), r.version(), s.month, s.day,
                     s.fullYear(), s.hour, s.minute, s.second);
    }
    std::fclose(listing);
    return true;
}

void writeDataFiles(const RecordStore& store, const std::string& base) {
    for (int32_t i = 0; i < store.count(); ++i) {
        const Record& r = *store.selectRecord(i);
        std::FILE* data = createFresh(base + std::to_string(i) + ".nd", "wb");
        if (data == nullptr) return;
        std::fwrite(r.data(), 1, r.length(), data);
        std::fclose(data);
    }
}

void dumpMemory(const RecordStore& store, const TextTables& tables, const std::string& base) {
    if (writeListing(store, tables, base)) writeDataFiles(store, base);
}

}  // namespace

bool memDump(const MemoryImage& image, TextTables& tables, const char* directory) {
    if (directory == nullptr || std::strlen(directory) + kLongestSuffix >= kPathBuffer)
        return false;
    tables.selectTable(0);
    tables.setDateTimeFormat(0, 1);
    dumpMemory(image.results(), tables, std::string(directory) + "/res");
    dumpMemory(image.procedure(), tables, std::string(directory) + "/prc");
    return true;
}

}  // namespace kvtlnk
