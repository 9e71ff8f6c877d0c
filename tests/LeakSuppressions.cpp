// Linked into every test program. The system's libraries keep some of what
// they allocate until the process ends: fontconfig its caches (Qt sets up its
// fonts through it), the GL dispatch libraries and GLib what they set up when
// they are loaded. The leak checker of sanitizer builds would take them for
// leaks of ours. Everything else is still checked.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n"
           "leak:libEGL.so\n"
           "leak:libGLX.so\n"
           "leak:libglib-2.0.so\n";
}
