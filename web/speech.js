// What a screen reader hears of the game. The screen's text is no live region: a write that
// grows it is read by some engines as the whole game again, and the text the player reads
// stays exactly what the game wrote. What is heard goes instead into a live region of its own,
// unseen and unlabelled, one element per announcement, so that every engine reads each one alone
// and once: when the game waits, what it wrote since it last waited is told, its rule lines of =
// and - (which carry nothing) left out; at a pause, the pause's own words follow, short and
// alone, so that a player hears that a key is wanted. They go into a second region (of two
// elements added to one region at once, Orca reads only the last), a moment after the text, as
// Chromium may send a change of one region ahead of an earlier change of another. The player's
// answers, which the screen reader has already echoed key by key, are not told again.

// A line of = or - alone, or nothing at all: silent.
const SILENT_LINE = /^[\s=-]*$/;
// Announcements kept in the region once read: enough for the newest to be read again.
const KEPT = 4;
// Old announcements are removed this long after the last one was made. Removed in the task that
// adds new ones, they take the new ones with them in Firefox: Orca hears nothing.
const TRIM_AFTER_MS = 2000;
// The pause's words follow the text this long after it. Chromium sends the changes of two regions
// made within a frame or two of each other in either order, and the pause was heard first.
const PAUSE_AFTER_MS = 250;

export class Speech {
  // `text` and `pauses` are the unseen live regions, in that order in the page.
  constructor(text, pauses) {
    this.regions = {text, pauses};
    this.pending = "";  // what the game wrote since it last waited
    this.trim = null;   // the timer that removes old announcements
    this.pause = 0;     // the timer that tells a pause's words, while it waits to
  }

  // The game's text, as the screen draws it.
  add(text) {
    this.pending += text;
  }

  // The game was given an answer: what it wrote before, if not told at its wait (a replayed
  // answer has none), is never told.
  forget() {
    this.pending = "";
    clearTimeout(this.pause);  // a pause already over is not told
  }

  // The game waits for a "line" or a "key", or has ended ("over").
  tell(kind) {
    let text = this.pending;
    this.pending = "";
    let pause = "";
    if (kind === "key") {  // the pause's words: the last line
      const lines = text.replace(/\n$/, "");
      const end = lines.lastIndexOf("\n") + 1;
      pause = lines.slice(end);
      text = lines.slice(0, end);
    }
    this.announce(this.regions.text, text.split("\n").filter(line => !SILENT_LINE.test(line)).join("\n"));
    this.pause = setTimeout(() => this.announce(this.regions.pauses, pause.trim()), PAUSE_AFTER_MS);
  }

  announce(region, text) {
    if (text.length === 0) {
      return;
    }
    const element = document.createElement("p");
    element.textContent = text;
    region.append(element);
    clearTimeout(this.trim);
    this.trim = setTimeout(() => {
      for (const old of Object.values(this.regions)) {
        while (old.childElementCount > KEPT) {
          old.firstElementChild.remove();
        }
      }
    }, TRIM_AFTER_MS);
  }
}
