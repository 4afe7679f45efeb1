// The stand-in's libmat. Plug-ins name the host's libmat as a needed library
// but call nothing in it, so the stand-in only has to exist under that name.
extern "C" int standInMatPresent(void)
{
    return 1;
}
