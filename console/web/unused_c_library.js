// A JavaScript library for emcc: C library calls that the game never makes in the browser, each
// answered with nothing in place of emcc's own, which would be built into the game's glue only
// because the C++ library refers to them. The C++ library's time facets come with every stream and
// refer to strftime(), the largest of emcc's; this one writes nothing and returns 0, as strftime()
// does when the text does not fit. The C library reads its environment at start; the game reads
// no variable of it, so the environment is empty.
/* global mergeInto, LibraryManager, HEAP32 */  // emcc defines them where it reads this file
mergeInto(LibraryManager.library, {
  strftime: function() { return 0; },
  environ_sizes_get: function(count, size) {
    HEAP32[count >> 2] = 0;
    HEAP32[size >> 2] = 0;
    return 0;
  },
  environ_get: function() { return 0; },
});
