// FFmpeg's decoder threads synchronise with atomics that the thread sanitizer cannot see in
// the uninstrumented libraries, which it reports as races inside them. Our own hand-off and
// the colour conversion stay checked.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libavcodec.so\n"
           "race:libavutil.so\n";
}
