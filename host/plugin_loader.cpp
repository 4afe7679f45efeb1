#include "plugin_loader.h"

#include <cstdio>

#include <dlfcn.h>

bool loadPlugin(const char* path, LoadedPlugin& plugin, char* error, size_t capacity)
{
    plugin = LoadedPlugin{nullptr, nullptr, nullptr};
    // Local binding, as a host does, so that nothing the plug-in defines can
    // stand in for the host's own symbols or another plug-in's.
    void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::snprintf(error, capacity, "%s", dlerror());
        return false;
    }
    void* entry = dlsym(handle, "mexFunction");
    if (!entry) {
        std::snprintf(error, capacity, "%s has no mexFunction", path);
        dlclose(handle);
        return false;
    }
    plugin.handle = handle;
    plugin.entry = reinterpret_cast<MexEntry>(entry);
    plugin.version = reinterpret_cast<const char* (*)(void)>(dlsym(handle, "mexVersion"));
    return true;
}

void unloadPlugin(LoadedPlugin& plugin)
{
    if (plugin.handle)
        dlclose(plugin.handle);
    plugin = LoadedPlugin{nullptr, nullptr, nullptr};
}
