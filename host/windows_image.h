// Runs a 32-bit Windows plug-in's code inside an i386 Linux process, for
// machines where Wine cannot run: the DLL's sections are mapped as the
// Windows loader maps them, its base relocations applied, its imports from
// the host's libmx.dll and libmex.dll bound to the stand-in host's functions
// of the same names, and its byte-copying imports from the C runtime bound to
// this process's C library. Both sides call each other with the cdecl
// convention, which 32-bit Windows and i386 Linux share.
//
// The DLL's own start-up routine is not run: the plug-in has nothing to
// initialise, and any other system function it might call traps with a
// message rather than run.
#ifndef SIMPLEXQP_WINDOWS_IMAGE_H
#define SIMPLEXQP_WINDOWS_IMAGE_H

#include <cstddef>

// Whether the file starts like a Windows executable image ("MZ").
bool isWindowsImage(const char* path);

// Maps the image; returns null and writes the reason into error on failure.
void* openWindowsImage(const char* path, char* error, size_t capacity);
// The address of an exported function, or null.
void* findWindowsExport(void* image, const char* name);
void closeWindowsImage(void* image);

#endif
