// What the player types, kept in order until the game asks for it, and given to the game as a
// terminal would: a whole line at a time (echoed as it is typed, edited with Backspace) when the
// game reads an answer, or one key without echo at a pause. Keys typed ahead wait for whatever the
// game asks for next. Input arrives as xterm.js reports it: text, "\r" for Enter, "\x7f" for
// Backspace, "\x04" for Ctrl-D, and an escape sequence for an arrow or function key.
"use strict";

const encoder = new TextEncoder();

// Columns a character takes on the terminal: two for East Asian wide and full-width ones.
function cellWidth(codePoint) {
  const wide = [[0x1100, 0x115f], [0x2e80, 0x303e], [0x3041, 0x33ff], [0x3400, 0x4dbf],
    [0x4e00, 0x9fff], [0xa000, 0xa4cf], [0xac00, 0xd7a3], [0xf900, 0xfaff], [0xfe30, 0xfe4f],
    [0xff00, 0xff60], [0xffe0, 0xffe6], [0x1f300, 0x1f64f], [0x20000, 0x3fffd]];
  return wide.some(([first, last]) => codePoint >= first && codePoint <= last) ? 2 : 1;
}

// Control characters other than Tab: each ends or edits the line, or is dropped. The rest is text.
const LINE_CONTROL = /[\x00-\x08\x0a-\x1f\x7f]/;

class PlayerInput {
  // `echo(text)` shows typed text on the terminal; `onWait(kind)` tells what the game waits for.
  constructor(echo, onWait) {
    this.echo = echo;
    this.onWait = onWait;
    this.pending = [];  // chunks of typed text, oldest first
    this.line = "";     // the line being typed
    this.waiter = null; // {kind: "line" | "key", resolve}
    this.ended = false; // whether the game has read the end of the input
  }

  push(data) {
    if (data.length > 0) {
      this.pending.push(data);
      this.pump();
    }
  }

  // The next line, line feed included, as UTF-8; null when Ctrl-D ends the input.
  readLine() { return this.wait("line"); }

  // The next key's bytes as UTF-8: one character, or a whole escape sequence.
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
        this.give(encoder.encode(this.takeKey()));
      } else {
        this.editLine();
      }
    }
  }

  takeKey() {
    const chunk = this.pending[0];
    // xterm.js reports each special key as one chunk holding its whole sequence.
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
      this.echo(text);
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
      this.echo("\r\n");
      this.send(this.line + "\n");
    } else if (character === "\x7f" || character === "\b") {
      this.eraseCharacter();
    } else if (character === "\x04") {
      // As on a terminal: Ctrl-D sends what is typed so far, and on an empty line ends the input.
      if (this.line.length === 0) {
        this.ended = true;
        this.give(null);
      } else {
        this.send(this.line);
      }
    }
  }

  send(text) {
    this.line = "";
    this.give(encoder.encode(text));
  }

  eraseCharacter() {
    if (this.line.length === 0) {
      return;
    }
    const last = Array.from(this.line.slice(-2)).pop();
    this.line = this.line.slice(0, -last.length);
    const width = cellWidth(last.codePointAt(0));
    this.echo(width === 2 ? "\b\b  \b\b" : "\b \b");
  }
}
