// Linked into the test programs that draw with OpenGL on a real X server or
// start the media stand-in's renderers. Mesa's driver is unloaded at exit, so
// its allocations show up as leaks from an unknown module that no suppression
// can name; these programs are checked for memory errors, not for leaks.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __asan_default_options()
{
    return "detect_leaks=0";
}
#endif
