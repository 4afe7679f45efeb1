#include "windows_image.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <dlfcn.h>
#include <strings.h>
#include <sys/mman.h>

namespace {

// Entries of the PE32 data directories (Microsoft PE/COFF layout).
constexpr size_t exportDirectory = 0;

// The mapped image, addressed by relative virtual addresses (RVAs) that are
// checked against its size before use.
struct Image {
    unsigned char* base;
    size_t size;
    bool holds(uint32_t rva, size_t bytes) const { return rva <= size && bytes <= size - rva; }
};

template <typename T>
T read(const unsigned char* at)
{
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

#ifdef __i386__  // mapping and binding: only a 32-bit x86 process can run the code

// What identifies a PE32 image for x86, and the directories only mapping
// needs.
constexpr uint32_t peSignature = 0x00004550;  // "PE\0\0"
constexpr uint16_t machineI386 = 0x014c;
constexpr uint16_t optionalMagicPE32 = 0x010b;
constexpr size_t importDirectory = 1;
constexpr size_t relocationDirectory = 5;

bool readFile(const char* path, std::vector<unsigned char>& bytes)
{
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;
    unsigned char buffer[65536];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + count);
    const bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

[[noreturn]] void unexpectedSystemCall()
{
    std::fprintf(stderr, "stand-in host: the Windows plug-in called a system function the stand-in does not provide\n");
    std::abort();
}

// The C-runtime functions the plug-in's own code calls; any other system
// import traps.
void* systemFunction(const char* name)
{
    struct Binding {
        const char* name;
        void* function;
    };
    static const Binding bindings[] = {
        {"memcpy", reinterpret_cast<void*>(&::memcpy)},
        {"memmove", reinterpret_cast<void*>(&::memmove)},
        {"memset", reinterpret_cast<void*>(&::memset)},
        {"memcmp", reinterpret_cast<void*>(&::memcmp)},
        {"strlen", reinterpret_cast<void*>(&::strlen)},
        {"malloc", reinterpret_cast<void*>(&::malloc)},
        {"free", reinterpret_cast<void*>(&::free)},
    };
    for (const Binding& binding : bindings)
        if (std::strcmp(binding.name, name) == 0)
            return binding.function;
    return reinterpret_cast<void*>(&unexpectedSystemCall);
}

bool isHostLibrary(const char* dll)
{
    return strcasecmp(dll, "libmx.dll") == 0 || strcasecmp(dll, "libmex.dll") == 0;
}

bool applyRelocations(const Image& image, uint32_t rva, uint32_t bytes, uint32_t delta, char* error,
                      size_t capacity)
{
    uint32_t offset = 0;
    while (offset + 8 <= bytes) {
        const uint32_t page = read<uint32_t>(image.base + rva + offset);
        const uint32_t blockBytes = read<uint32_t>(image.base + rva + offset + 4);
        if (blockBytes < 8 || blockBytes > bytes - offset) {
            std::snprintf(error, capacity, "malformed relocation block");
            return false;
        }
        for (uint32_t entry = 8; entry + 2 <= blockBytes; entry += 2) {
            const uint16_t item = read<uint16_t>(image.base + rva + offset + entry);
            const unsigned type = item >> 12;
            const uint32_t target = page + (item & 0x0fff);
            if (type == 0)  // padding
                continue;
            if (type != 3 || !image.holds(target, 4)) {  // 3: a 32-bit address
                std::snprintf(error, capacity, "unsupported relocation of type %u", type);
                return false;
            }
            const uint32_t value = read<uint32_t>(image.base + target) + delta;
            std::memcpy(image.base + target, &value, sizeof value);
        }
        offset += blockBytes;
    }
    return true;
}

bool bindImports(const Image& image, uint32_t rva, char* error, size_t capacity)
{
    for (uint32_t descriptor = rva; image.holds(descriptor, 20); descriptor += 20) {
        const uint32_t lookup = read<uint32_t>(image.base + descriptor);
        const uint32_t nameRva = read<uint32_t>(image.base + descriptor + 12);
        const uint32_t addresses = read<uint32_t>(image.base + descriptor + 16);
        if (nameRva == 0)
            return true;  // the all-zero descriptor ends the table
        if (!image.holds(nameRva, 1)) {
            std::snprintf(error, capacity, "malformed import table");
            return false;
        }
        const char* dll = reinterpret_cast<const char*>(image.base + nameRva);
        const uint32_t names = lookup ? lookup : addresses;
        for (uint32_t slot = 0;; slot += 4) {
            if (!image.holds(names + slot, 4) || !image.holds(addresses + slot, 4)) {
                std::snprintf(error, capacity, "malformed import table of %s", dll);
                return false;
            }
            const uint32_t entry = read<uint32_t>(image.base + names + slot);
            if (entry == 0)
                break;
            if (!(entry & 0x80000000u) && !image.holds(entry, 3)) {
                std::snprintf(error, capacity, "malformed import table of %s", dll);
                return false;
            }
            if (entry & 0x80000000u) {
                std::snprintf(error, capacity, "import by ordinal from %s", dll);
                return false;
            }
            const char* name = reinterpret_cast<const char*>(image.base + entry + 2);  // after the hint
            void* function = isHostLibrary(dll) ? dlsym(RTLD_DEFAULT, name) : systemFunction(name);
            if (!function) {
                std::snprintf(error, capacity, "%s has no %s", dll, name);
                return false;
            }
            const uint32_t address = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(function));
            std::memcpy(image.base + addresses + slot, &address, sizeof address);
        }
    }
    std::snprintf(error, capacity, "unterminated import table");
    return false;
}

#endif

}  // namespace

bool isWindowsImage(const char* path)
{
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;
    char magic[2] = {0, 0};
    const bool read = std::fread(magic, 1, 2, file) == 2;
    std::fclose(file);
    return read && magic[0] == 'M' && magic[1] == 'Z';
}

void* openWindowsImage(const char* path, char* error, size_t capacity)
{
#ifndef __i386__
    std::snprintf(error, capacity, "%s: a 32-bit Windows plug-in runs only in the i386 build of the host", path);
    return nullptr;
#else
    std::vector<unsigned char> file;
    if (!readFile(path, file)) {
        std::snprintf(error, capacity, "%s: cannot read", path);
        return nullptr;
    }
    const unsigned char* bytes = file.data();
    const uint32_t pe = file.size() >= 0x40 ? read<uint32_t>(bytes + 0x3c) : 0;
    if (pe == 0 || pe > file.size() || file.size() - pe < 24 + 96 + 16 * 8 || read<uint32_t>(bytes + pe) != peSignature ||
        read<uint16_t>(bytes + pe + 4) != machineI386 || read<uint16_t>(bytes + pe + 24) != optionalMagicPE32) {
        std::snprintf(error, capacity, "%s: not a 32-bit x86 Windows image", path);
        return nullptr;
    }
    const uint16_t sections = read<uint16_t>(bytes + pe + 6);
    const uint16_t optionalBytes = read<uint16_t>(bytes + pe + 20);
    const unsigned char* optional = bytes + pe + 24;
    const uint32_t preferredBase = read<uint32_t>(optional + 28);
    const uint32_t imageBytes = read<uint32_t>(optional + 56);
    const uint32_t headerBytes = read<uint32_t>(optional + 60);
    const unsigned char* directories = optional + 96;
    const unsigned char* sectionTable = optional + optionalBytes;
    if (headerBytes > file.size() || headerBytes > imageBytes ||
        static_cast<size_t>(sectionTable - bytes) + sections * 40u > file.size()) {
        std::snprintf(error, capacity, "%s: malformed headers", path);
        return nullptr;
    }

    void* memory = mmap(nullptr, imageBytes, PROT_READ | PROT_WRITE | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        std::snprintf(error, capacity, "%s: cannot map %u bytes", path, imageBytes);
        return nullptr;
    }
    Image* image = new Image{static_cast<unsigned char*>(memory), imageBytes};
    const Image& mapped = *image;
    std::memcpy(image->base, bytes, headerBytes);
    bool ok = true;
    for (uint16_t i = 0; i < sections && ok; ++i) {
        const unsigned char* section = sectionTable + i * 40u;
        const uint32_t address = read<uint32_t>(section + 12);
        const uint32_t rawBytes = read<uint32_t>(section + 16);
        const uint32_t rawOffset = read<uint32_t>(section + 20);
        const uint32_t virtualBytes = read<uint32_t>(section + 8);
        const uint32_t copied = rawBytes < virtualBytes || virtualBytes == 0 ? rawBytes : virtualBytes;
        ok = mapped.holds(address, copied) && rawOffset <= file.size() && copied <= file.size() - rawOffset;
        if (ok)
            std::memcpy(image->base + address, bytes + rawOffset, copied);  // the rest stays zero
        else
            std::snprintf(error, capacity, "%s: section %u lies outside the file or the image", path, i);
    }
    const uint32_t delta = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(image->base)) - preferredBase;
    const uint32_t relocations = read<uint32_t>(directories + relocationDirectory * 8);
    const uint32_t relocationBytes = read<uint32_t>(directories + relocationDirectory * 8 + 4);
    if (ok && relocationBytes)
        ok = mapped.holds(relocations, relocationBytes) &&
             applyRelocations(mapped, relocations, relocationBytes, delta, error, capacity);
    const uint32_t imports = read<uint32_t>(directories + importDirectory * 8);
    if (ok && imports)
        ok = bindImports(mapped, imports, error, capacity);
    if (!ok) {
        closeWindowsImage(image);
        return nullptr;
    }
    return image;
#endif
}

void* findWindowsExport(void* handle, const char* name)
{
    const Image* image = static_cast<const Image*>(handle);
    const Image& mapped = *image;
    const uint32_t pe = read<uint32_t>(image->base + 0x3c);
    const unsigned char* directories = image->base + pe + 24 + 96;
    const uint32_t exports = read<uint32_t>(directories + exportDirectory * 8);
    if (!exports || !mapped.holds(exports, 40))
        return nullptr;
    const uint32_t count = read<uint32_t>(image->base + exports + 24);
    const uint32_t functions = read<uint32_t>(image->base + exports + 28);
    const uint32_t names = read<uint32_t>(image->base + exports + 32);
    const uint32_t ordinals = read<uint32_t>(image->base + exports + 36);
    for (uint32_t i = 0; i < count && mapped.holds(names + 4 * i, 4) && mapped.holds(ordinals + 2 * i, 2); ++i) {
        const uint32_t nameRva = read<uint32_t>(image->base + names + 4 * i);
        if (!mapped.holds(nameRva, std::strlen(name) + 1) ||
            std::strcmp(reinterpret_cast<const char*>(image->base + nameRva), name) != 0)
            continue;
        const uint16_t ordinal = read<uint16_t>(image->base + ordinals + 2 * i);
        if (!mapped.holds(functions + 4u * ordinal, 4))
            return nullptr;
        return image->base + read<uint32_t>(image->base + functions + 4u * ordinal);
    }
    return nullptr;
}

void closeWindowsImage(void* handle)
{
    Image* image = static_cast<Image*>(handle);
    munmap(image->base, image->size);
    delete image;
}
