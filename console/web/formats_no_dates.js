// A JavaScript library for emcc: the C library's strftime() in the browser, which the game never
// calls. The C++ library's time facets are built in with every stream and refer to it, and emcc's
// own strftime() is among the largest parts of the game's glue. This one writes nothing and
// returns 0, as strftime() does when the text does not fit.
/* global mergeInto, LibraryManager */  // emcc defines them where it reads this file
mergeInto(LibraryManager.library, {
  strftime: function() { return 0; },
});
