// The text helpers keep one iconv descriptor per code page for the life of
// the process; LeakSanitizer reports that cache at exit. Weak, so that a
// definition elsewhere wins without a clash.
extern "C" __attribute__((weak, used)) const char* __lsan_default_suppressions() {
  return "leak:iconv_open\nleak:gconv\n";
}
