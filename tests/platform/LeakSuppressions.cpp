// Qt sets up its fonts through fontconfig, which keeps its caches until the
// process ends; the leak checker of sanitizer builds would take them for
// leaks of ours. Everything else is still checked.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
