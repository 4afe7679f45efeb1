// Loads a plug-in file the way a host does: by its path, with mexFunction
// (and, where the build exports it, mexVersion) looked up by name. The i386
// Linux build also runs a 32-bit Windows plug-in (windows_image.h).
#ifndef SIMPLEXQP_PLUGIN_LOADER_H
#define SIMPLEXQP_PLUGIN_LOADER_H

#include <cstddef>

#include "stand_in.h"

struct LoadedPlugin {
    void* handle;
    MexEntry entry;
    const char* (*version)(void);  // null when the plug-in has no mexVersion
    bool windowsImage;             // a Windows DLL mapped into an i386 Linux process
};

// Returns true and fills plugin on success; otherwise writes the loader's
// reason into error.
bool loadPlugin(const char* path, LoadedPlugin& plugin, char* error, size_t capacity);
void unloadPlugin(LoadedPlugin& plugin);

#endif
