// The game's screen: the text the game wrote and the answers it read, drawn into the page as
// plain text that wraps at the width it is given, with the line being typed after it. The game
// writes lines and never moves a cursor, so nothing else is needed; being the page's own text, it
// is in the accessibility tree and follows the browser's zoom, find and selection.

export class Screen {
  // `box` scrolls; `output` holds what the game wrote and read, `typed` the line being typed.
  constructor(box, output, typed) {
    this.box = box;
    this.output = output;
    this.typed = typed;
    this.decoder = new TextDecoder();
    this.scrollPending = false;
    // The newest line stays in sight when the box changes size (a phone turned, a keyboard shown),
    // in the same frame: the observer is called after layout, before the frame is drawn.
    new ResizeObserver(() => { box.scrollTop = box.scrollHeight; }).observe(box);
  }

  clear() {
    this.output.textContent = "";
    this.typed.textContent = "";
    this.decoder = new TextDecoder();
  }

  // Bytes of UTF-8, of which the last character may end in the next call.
  writeBytes(bytes) {
    this.writeText(this.decoder.decode(bytes, {stream: true}));
  }

  writeText(text) {
    // A node for each piece, so that a screen reader hears each one once as it is added.
    if (text.length > 0) {
      this.output.append(text);
      this.scrollToEnd();
    }
  }

  showTyped(line) {
    this.typed.textContent = line;
    this.scrollToEnd();
  }

  // What the screen shows, as text.
  text() {
    return this.output.textContent + this.typed.textContent;
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
