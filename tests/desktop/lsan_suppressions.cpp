// Allocations that the desktop's system libraries keep until the process ends (D-Bus, X11
// and the fontconfig cache SDL pulls in) are not leaks of ours.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\n"
         "leak:libX11.so\n"
         "leak:libXi.so\n"
         "leak:libfontconfig.so\n"
         "leak:libXcursor.so\n"
         "leak:libXrandr.so\n"
         "leak:libxkbcommon.so\n";
}
