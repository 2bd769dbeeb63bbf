// What the player types, kept in order until the game asks for it, and given to the game as a
// terminal in line mode would: a whole line at a time (shown as it is typed, edited with
// Backspace) when the game reads an answer, or one key without echo at a pause. Keys typed ahead
// wait for whatever the game asks for next. Input arrives as a terminal sends it: text, "\r" for
// Enter, "\x7f" for Backspace, "\x04" for Ctrl-D, and a whole escape sequence for a special key.

// Control characters other than Tab: each ends or edits the line, or is dropped. The rest is text.
// eslint-disable-next-line no-control-regex -- control characters are what it finds
const LINE_CONTROL = /[\x00-\x08\x0a-\x1f\x7f]/;

export class PlayerInput {
  // `showTyped(line)` shows the line typed so far; `onWait(kind)` tells what the game waits for.
  constructor(showTyped, onWait) {
    this.showTyped = showTyped;
    this.onWait = onWait;
    this.pending = [];  // chunks of typed text, oldest first
    this.line = "";     // the line being typed
    this.waiter = null; // {kind: "line" | "key", resolve}
  }

  push(data) {
    if (data.length > 0) {
      this.pending.push(data);
      this.pump();
    }
  }

  // The next line, line feed included; null when Ctrl-D ends the input.
  readLine() { return this.wait("line"); }

  // The next key: one character (a pair of surrogates is one), or a whole escape sequence.
  readKey() { return this.wait("key"); }

  wait(kind) {
    const promise = new Promise(resolve => { this.waiter = {kind, resolve}; });
    this.onWait(kind);
    this.pump();
    return promise;
  }

  give(value) {
    const {resolve} = this.waiter;
    this.waiter = null;
    resolve(value);
  }

  pump() {
    while (this.waiter && this.pending.length > 0) {
      if (this.waiter.kind === "key") {
        this.give(this.takeKey());
      } else {
        this.editLine();
      }
    }
  }

  takeKey() {
    const chunk = this.pending[0];
    // The keyboard pushes each special key as one chunk holding its whole sequence.
    const key = chunk[0] === "\x1b" ? chunk : String.fromCodePoint(chunk.codePointAt(0));
    this.consume(key.length);
    return key;
  }

  consume(length) {
    if (length >= this.pending[0].length) {
      this.pending.shift();
    } else {
      this.pending[0] = this.pending[0].slice(length);
    }
  }

  // Takes what is typed into the line until the line is sent or the queue is empty.
  editLine() {
    const chunk = this.pending[0];
    const control = chunk.search(LINE_CONTROL);
    const text = control < 0 ? chunk : chunk.slice(0, control);
    if (text.length > 0) {
      this.line += text;
      this.showTyped(this.line);
      this.consume(text.length);
      return;
    }
    if (chunk[0] === "\x1b") {
      this.consume(chunk.length);  // arrows and function keys do not edit a line here
      return;
    }
    this.consume(1);
    this.control(chunk[0]);
  }

  control(character) {
    if (character === "\r" || character === "\n") {
      this.send(this.line + "\n");
    } else if (character === "\x7f" || character === "\b") {
      // A whole character, even one written with a pair of surrogates.
      this.line = this.line.slice(0, -(Array.from(this.line.slice(-2)).pop()?.length ?? 0));
      this.showTyped(this.line);
    } else if (character === "\x04") {
      // As on a terminal: Ctrl-D sends what is typed so far, and on an empty line ends the input.
      if (this.line.length === 0) {
        this.give(null);
      } else {
        this.send(this.line);
      }
    }
  }

  send(text) {
    this.line = "";
    this.showTyped("");
    this.give(text);
  }
}
