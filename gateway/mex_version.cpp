// mexVersion, which the Linux hosts ask every plug-in for: the interface
// generation the plug-in was built for. Built into each plug-in.
#include "plugin_entry.h"

SIMPLEXQP_ENTRY const char* mexVersion(void)
{
    return "MATLAB R14 native";
}
