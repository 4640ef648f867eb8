// Leaks inside SANE's test backend are the backend's own (see PinSaneTestBackend).
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libsane-test\n";
}
