// Linked into the clock pin in AddressSanitizer builds only. Preloaded, the pin comes before the
// sanitizer's runtime in the list of libraries, and the runtime refuses to start unless told that
// this is fine. It is here: the pin only replaces time(), which the runtime does not need first.
// The option travels with the pin, so it holds whatever environment a test gives the game.
extern "C" const char* __asan_default_options() { return "verify_asan_link_order=0"; }
