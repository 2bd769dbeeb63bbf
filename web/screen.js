// The game's screen: the text the game wrote and the answers it read, drawn into the page as
// plain text that wraps at the width it is given, with the line being typed after it. The game
// writes lines and never moves a cursor, so nothing else is needed; being the page's own text, it
// is in the accessibility tree and follows the browser's zoom, find and selection. What a screen
// reader announces of it is told apart (speech.js).
//
// A long game stays as quick as a short one: new text goes into an open part after the old text,
// and once that part holds enough whole lines it is closed, becoming a block of its own that the
// browser lays out once. A write lays out only the open part, never the whole game, and touches
// no text already drawn. Parts begin and end at a line's end, so closing one changes nothing of
// what is shown, selected or copied.

// The page's HTML shows the game's title before the game has loaded, so that the player reads it,
// and may answer it, as soon as the page is drawn. The game then writes the same text: what it
// writes of the title is taken as already shown, and the title becomes the first open part; a
// game that writes anything else removes it.
//
// A part is closed at the end of a line once it holds this many lines or characters.
const BLOCK_LINES = 100;
const BLOCK_CHARACTERS = 6000;

export class Screen {
  // `box` scrolls; `output` holds what the game wrote and read, `typed` the line being typed;
  // `speech` is told what the game writes.
  constructor(box, output, typed, speech) {
    this.box = box;
    this.speech = speech;
    this.output = output;
    this.typed = typed;
    this.decoder = new TextDecoder();
    this.open = null;  // the part new text goes into: {element, lines, characters}
    this.ahead = output.querySelector(".ahead");  // the title shown ahead, until the game has written it
    this.aheadText = this.ahead?.textContent ?? "";
    this.aheadWritten = 0;  // how much of it the game has written
    this.scrollPending = false;
    // The newest line stays in sight when the box changes size (a phone turned, a keyboard shown),
    // in the same frame: the observer is called after layout, before the frame is drawn.
    new ResizeObserver(() => { box.scrollTop = box.scrollHeight; }).observe(box);
  }

  // Everything, the title shown ahead too: for a game that cannot start, or one resumed.
  clear() {
    this.ahead = null;
    this.empty();
  }

  // Everything but a title shown ahead that no game has written yet: the game about to start
  // writes it.
  clearForGame() {
    if (this.aheadWritten > 0) {
      this.ahead = null;
    }
    this.empty();
  }

  // A title kept is left in place: put in again, it would be new text to a screen reader.
  empty() {
    for (const node of [...this.output.childNodes]) {
      if (node !== this.ahead) {
        node.remove();
      }
    }
    this.typed.textContent = "";
    this.decoder = new TextDecoder();
    this.open = null;
  }

  // Bytes of UTF-8, of which the last character may end in the next call.
  writeBytes(bytes) {
    this.writeText(this.decoder.decode(bytes, {stream: true}));
  }

  // The game's own text.
  writeText(text) {
    const shown = this.ahead ? this.writeAhead(text) : text;
    this.speech.add(shown);
    this.draw(shown);
  }

  // An answer the game read as a line, shown where the game read it. A screen reader has echoed
  // it as it was typed, so it is not told again.
  echo(text) {
    this.draw(this.ahead ? this.writeAhead(text) : text);
  }

  draw(text) {
    if (text.length === 0) {
      return;
    }
    // The text already shown is never touched again: each piece is a node of its own.
    if (this.open === null) {
      const element = document.createElement("span");
      element.append(text);
      this.output.append(element);
      this.open = {element, lines: 0, characters: 0};
    } else {
      this.open.element.append(text);
    }
    this.open.lines += text.split("\n").length - 1;
    this.open.characters += text.length;
    if (text.endsWith("\n") && (this.open.lines >= BLOCK_LINES || this.open.characters >= BLOCK_CHARACTERS)) {
      this.closeOpenPart();
    }
    this.scrollToEnd();
  }

  // What of `text` is still to be drawn once the title shown ahead has taken its part of it.
  writeAhead(text) {
    const rest = this.aheadText.slice(this.aheadWritten);
    const shown = text.startsWith(rest) ? rest.length : rest.startsWith(text) ? text.length : -1;
    if (shown < 0) {  // the game went another way: its own text replaces the title
      const written = this.aheadText.slice(0, this.aheadWritten);
      this.ahead.remove();
      this.ahead = null;
      return written + text;
    }
    this.aheadWritten += shown;
    if (this.aheadWritten === this.aheadText.length) {  // written whole: the game's first lines
      const title = this.aheadText;
      this.open = {element: this.ahead, lines: title.split("\n").length - 1, characters: title.length};
      this.ahead = null;
    }
    return text.slice(shown);
  }

  // The part ends with a line feed and began at a line's start, so as a block it shows the same
  // lines.
  closeOpenPart() {
    this.open.element.className = "closed";
    this.open = null;
  }

  showTyped(line) {
    this.typed.textContent = line;
    this.scrollToEnd();
  }

  // Once per frame, however many pieces arrived in it.
  scrollToEnd() {
    if (!this.scrollPending) {
      this.scrollPending = true;
      requestAnimationFrame(() => {
        this.scrollPending = false;
        this.box.scrollTop = this.box.scrollHeight;
      });
    }
  }
}
