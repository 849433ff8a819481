// Built with the sanitizers (the asan and tsan presets), every program linking the binding
// suppresses what lies inside Qt and the libraries under it: Debian builds them without the
// sanitizers. Under ThreadSanitizer what their own threads do among themselves (the offscreen
// platform, the glib dispatcher, Qt's queued calls guarded by its own uninstrumented locks)
// looks like races; under LeakSanitizer the font and platform caches they keep for the
// process's life look like leaks. The sanitizers read these hooks from the program itself.
#if defined(__SANITIZE_THREAD__)
extern "C" __attribute__((visibility("default"))) const char *__tsan_default_suppressions()
{
    return "called_from_lib:libQt6Core.so\n"
           "called_from_lib:libQt6Gui.so\n"
           "called_from_lib:libQt6Widgets.so\n"
           "called_from_lib:libqoffscreen.so\n"
           "called_from_lib:libglib-2.0.so\n"
           "called_from_lib:libfontconfig.so\n"
           "race:libQt6Core.so\n"
           "race:libQt6Gui.so\n"
           "race:libQt6Widgets.so\n";
}
#endif

#if defined(__SANITIZE_ADDRESS__)
extern "C" __attribute__((visibility("default"))) const char *__lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n"
           "leak:libfreetype.so\n"
           "leak:libglib-2.0.so\n"
           "leak:libQt6Core.so\n"
           "leak:libQt6Gui.so\n"
           "leak:libQt6Widgets.so\n"
           "leak:libqoffscreen.so\n";
}
#endif
