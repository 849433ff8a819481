// Built with ThreadSanitizer (the tsan preset), every program linking the binding suppresses the
// reports that lie inside Qt and the libraries under it: Debian builds them without the
// sanitizer, so what their own threads do among themselves (the offscreen platform, the glib
// dispatcher, font loading) looks like races. A report with a frame of ours still shows unless
// Qt's frames come first; the binding's posting to the user-interface thread is covered by the
// tests of CWnd.
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
