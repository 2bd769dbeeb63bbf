// What a screen reader hears of the game. The screen's text is no live region: a write that
// grows it is read by some engines as the whole game again, and the text the player reads
// stays exactly what the game wrote. What is heard goes instead into a live region of its own,
// unseen and unlabelled, one element per announcement, so that every engine reads each one alone
// and once: when the game waits, what it wrote since it last waited is told, its rule lines of =
// and - (which carry nothing) left out. At a pause that is one element ending in the pause's own
// words, so that a player hears that a key is wanted, and hears it last: two elements, or two
// regions, may be sent to the screen reader in either order. The player's answers, which the
// screen reader has already echoed key by key, are not told again.

// A line of = or - alone, or nothing at all: silent.
const SILENT_LINE = /^[\s=-]*$/;
// Announcements kept in the region once read: enough for the newest to be read again.
const KEPT = 4;
// Old announcements are removed this long after the last one was made. Removed in the task that
// adds new ones, they take the new ones with them in Firefox: Orca hears nothing.
const TRIM_AFTER_MS = 2000;

export class Speech {
  // `region` is the unseen live region.
  constructor(region) {
    this.region = region;
    this.pending = "";  // what the game wrote since it last waited
    this.trim = null;   // the timer that removes old announcements
  }

  // The game's text, as the screen draws it.
  add(text) {
    this.pending += text;
  }

  // The game was given an answer: what it wrote before, if not told at its wait (a replayed
  // answer has none), is never told.
  forget() {
    this.pending = "";
  }

  // The game waits, or has ended.
  tell() {
    const text = this.pending.split("\n").filter(line => !SILENT_LINE.test(line)).join("\n");
    this.pending = "";
    this.say(text);
  }

  // Words of the page's own, heard as the game's are.
  say(text) {
    if (text.length === 0) {
      return;
    }
    const element = document.createElement("p");
    element.textContent = text;
    this.region.append(element);
    clearTimeout(this.trim);
    this.trim = setTimeout(() => {
      while (this.region.childElementCount > KEPT) {
        this.region.firstElementChild.remove();
      }
    }, TRIM_AFTER_MS);
  }
}
