// Linked into the test programs of the ThreadSanitizer build. libstdc++'s ctype<char>::narrow fills
// a per-facet cache of the same value from whichever thread asks first (boost::format asks for it
// while two cameras open at once); the library is not instrumented, so its writes are reported.
extern "C" __attribute__((visibility("default"))) const char* __tsan_default_suppressions() {
  return "race:std::ctype<char>::narrow\n";
}
