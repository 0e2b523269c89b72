// Sanitizer settings built into the fuzz targets: every finding ends the run
// (libFuzzer then keeps the input), none is printed and passed over. The
// preset also compiles with -fno-sanitize-recover=all, so UBSan has no way to
// carry on; this keeps it so when the flags are changed by hand.
extern "C" const char* __asan_default_options() { return "halt_on_error=1:abort_on_error=1"; }
extern "C" const char* __ubsan_default_options() { return "halt_on_error=1:print_stacktrace=1"; }
