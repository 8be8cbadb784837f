// Linked into every program of the sanitizer build only: libraries are
// never unloaded. LeakSanitizer looks for leaks as the process ends, after
// SDL and the GL driver have unloaded the driver's libraries (Mesa, its LLVM,
// the EGL and GLX vendor libraries); what the driver keeps for the whole
// process is then reachable from nowhere and shows as leaked, at addresses
// that no longer belong to any library and so cannot be named. With the
// libraries kept, the driver's memory stays reachable from them, and every
// leak that is reported is one of the show's own, with a stack that names it.
extern "C" int dlclose(void*) { return 0; }
