#include "plugin_loader.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>

#include "windows_image.h"
#endif

namespace {

#ifdef _WIN32

void* openPlugin(const char* path, bool& windowsImage, char* error, size_t capacity)
{
    windowsImage = false;  // the system's own loader maps it
    HMODULE module = LoadLibraryA(path);
    if (module)
        return reinterpret_cast<void*>(module);
    const DWORD code = GetLastError();
    char text[256];
    if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, sizeof text,
                       nullptr))
        std::snprintf(error, capacity, "%s: %s", path, text);
    else
        std::snprintf(error, capacity, "%s: error %lu", path, static_cast<unsigned long>(code));
    return nullptr;
}

void* symbolOf(const LoadedPlugin& plugin, const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(plugin.handle), name));
}

void closePlugin(const LoadedPlugin& plugin)
{
    FreeLibrary(static_cast<HMODULE>(plugin.handle));
}

#else

void* openPlugin(const char* path, bool& windowsImage, char* error, size_t capacity)
{
    windowsImage = isWindowsImage(path);
    if (windowsImage)
        return openWindowsImage(path, error, capacity);
    // Local binding, as a host does, so that nothing the plug-in defines can
    // stand in for the host's own symbols or another plug-in's.
    void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        std::snprintf(error, capacity, "%s", dlerror());
    return handle;
}

void* symbolOf(const LoadedPlugin& plugin, const char* name)
{
    return plugin.windowsImage ? findWindowsExport(plugin.handle, name) : dlsym(plugin.handle, name);
}

void closePlugin(const LoadedPlugin& plugin)
{
    if (plugin.windowsImage)
        closeWindowsImage(plugin.handle);
    else
        dlclose(plugin.handle);
}

#endif

}  // namespace

bool loadPlugin(const char* path, LoadedPlugin& plugin, char* error, size_t capacity)
{
    plugin = LoadedPlugin{nullptr, nullptr, nullptr, false};
    plugin.handle = openPlugin(path, plugin.windowsImage, error, capacity);
    if (!plugin.handle)
        return false;
    void* entry = symbolOf(plugin, "mexFunction");
    if (!entry) {
        std::snprintf(error, capacity, "%s has no mexFunction", path);
        unloadPlugin(plugin);
        return false;
    }
    plugin.entry = reinterpret_cast<MexEntry>(entry);
    plugin.version = reinterpret_cast<const char* (*)(void)>(symbolOf(plugin, "mexVersion"));
    return true;
}

void unloadPlugin(LoadedPlugin& plugin)
{
    if (plugin.handle)
        closePlugin(plugin);
    plugin = LoadedPlugin{nullptr, nullptr, nullptr, false};
}
