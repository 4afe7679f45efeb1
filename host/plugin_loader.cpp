#include "plugin_loader.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

#ifdef _WIN32

// The system's text for the last error, or its number when it has none.
void lastError(const char* path, char* error, size_t capacity)
{
    const DWORD code = GetLastError();
    char text[256];
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                        text, sizeof text, nullptr);
    if (length)
        std::snprintf(error, capacity, "%s: %s", path, text);
    else
        std::snprintf(error, capacity, "%s: error %lu", path, static_cast<unsigned long>(code));
}

void* openLibrary(const char* path, char* error, size_t capacity)
{
    HMODULE module = LoadLibraryA(path);
    if (!module)
        lastError(path, error, capacity);
    return reinterpret_cast<void*>(module);
}

void* findSymbol(void* handle, const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

void closeLibrary(void* handle)
{
    FreeLibrary(static_cast<HMODULE>(handle));
}

#else

void* openLibrary(const char* path, char* error, size_t capacity)
{
    // Local binding, as a host does, so that nothing the plug-in defines can
    // stand in for the host's own symbols or another plug-in's.
    void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        std::snprintf(error, capacity, "%s", dlerror());
    return handle;
}

void* findSymbol(void* handle, const char* name)
{
    return dlsym(handle, name);
}

void closeLibrary(void* handle)
{
    dlclose(handle);
}

#endif

}  // namespace

bool loadPlugin(const char* path, LoadedPlugin& plugin, char* error, size_t capacity)
{
    plugin = LoadedPlugin{nullptr, nullptr, nullptr};
    void* handle = openLibrary(path, error, capacity);
    if (!handle)
        return false;
    void* entry = findSymbol(handle, "mexFunction");
    if (!entry) {
        std::snprintf(error, capacity, "%s has no mexFunction", path);
        closeLibrary(handle);
        return false;
    }
    plugin.handle = handle;
    plugin.entry = reinterpret_cast<MexEntry>(entry);
    plugin.version = reinterpret_cast<const char* (*)(void)>(findSymbol(handle, "mexVersion"));
    return true;
}

void unloadPlugin(LoadedPlugin& plugin)
{
    if (plugin.handle)
        closeLibrary(plugin.handle);
    plugin = LoadedPlugin{nullptr, nullptr, nullptr};
}
