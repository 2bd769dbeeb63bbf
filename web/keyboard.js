// The keyboard, as a terminal would send it: the page's key events, typed text, input methods'
// compositions and pastes, turned into the text a terminal sends for them. Special keys become
// their escape sequences (xterm's), Ctrl with a letter its control character, Alt with a key ESC
// and that key; everything that produces text arrives through the text field's input, so input
// methods, dead keys, on-screen keyboards and dictation need nothing of their own.

const CSI = "\x1b[";

// Keys that send a sequence ending in a letter (xterm: CSI 1 ; modifiers letter when modified).
const LETTER_KEYS = {ArrowUp: "A", ArrowDown: "B", ArrowRight: "C", ArrowLeft: "D", Home: "H", End: "F",
  F1: "P", F2: "Q", F3: "R", F4: "S"};
// Keys that send CSI number ~ (CSI number ; modifiers ~ when modified).
const TILDE_KEYS = {Insert: 2, Delete: 3, PageUp: 5, PageDown: 6, F5: 15, F6: 17, F7: 18, F8: 19, F9: 20,
  F10: 21, F11: 23, F12: 24};
// Tab is left to the browser, so that the keyboard can leave the game for the page's buttons.
const PLAIN_KEYS = {Enter: "\r", Backspace: "\x7f", Escape: "\x1b"};
// Ctrl with these stays the browser's: paste, and find, which the page's text is there for.
const BROWSER_SHORTCUTS = new Set(["v", "f"]);

// xterm's modifier parameter: 1 plus Shift 1, Alt 2, Ctrl 4.
function modifiers(event) {
  return 1 + (event.shiftKey ? 1 : 0) + (event.altKey ? 2 : 0) + (event.ctrlKey ? 4 : 0);
}

// What a terminal sends for this key-down, or null when the key is left to the browser, which
// then either types its text into the field or does nothing the game sees.
export function terminalBytes(event) {
  if (event.isComposing || event.metaKey || copying(event)) {
    return null;
  }
  const key = event.key;
  const modified = modifiers(event);
  if (key in LETTER_KEYS) {
    const letter = LETTER_KEYS[key];
    if (modified > 1) {
      return `${CSI}1;${modified}${letter}`;
    }
    return key.startsWith("F") && key.length === 2 ? `\x1bO${letter}` : CSI + letter;
  }
  if (key in TILDE_KEYS) {
    return `${CSI}${TILDE_KEYS[key]}${modified > 1 ? ";" + modified : ""}~`;
  }
  if (key in PLAIN_KEYS && !event.ctrlKey && !event.altKey) {
    return PLAIN_KEYS[key];
  }
  const character = [...key].length === 1 ? key : null;
  if (character && event.ctrlKey && !event.altKey) {
    return controlCharacter(character);
  }
  if (character && event.altKey && !event.ctrlKey) {
    return "\x1b" + character;  // AltGr reports Ctrl and Alt together, and types its text
  }
  return null;
}

// Whether the key is Ctrl+C (or Command+C) with text selected: the browser's copy, not the game's.
const copying = event => (event.ctrlKey || event.metaKey) && event.key.toLowerCase() === "c" &&
  !document.getSelection()?.isCollapsed;
const MODIFIERS = new Set(["Control", "Shift", "Alt", "AltGraph", "Meta"]);

function controlCharacter(character) {
  const lower = character.toLowerCase();
  if (lower >= "a" && lower <= "z") {
    return BROWSER_SHORTCUTS.has(lower) ? null : String.fromCharCode(lower.charCodeAt(0) - 0x60);
  }
  const others = {"@": "\x00", " ": "\x00", "[": "\x1b", "\\": "\x1c", "]": "\x1d", "^": "\x1e", "_": "\x1f"};
  return others[character] ?? null;
}

// Sends what a terminal sends for the key-down in place of what the browser would do; a key a
// terminal sends nothing for is left to the browser.
function sendKey(event, send) {
  const bytes = terminalBytes(event);
  if (bytes !== null) {
    event.preventDefault();
    send(bytes);
  }
}

// Text typed while nothing has the focus or a control that takes no text has it: the field takes
// the focus before the browser types it, so the text lands there; but not for a copy, nor for
// the Ctrl held down before it, since the focus moved into the field would take the selection.
function keysToField(field, send) {
  document.addEventListener("keydown", event => {
    const target = event.target;
    const control = target.closest?.("button, a, input, select, textarea, summary");
    const forControl = control && (control === field || ["Tab", "Enter", " "].includes(event.key) ||
      control.matches("input, select, textarea"));
    if (!forControl && !event.defaultPrevented && !copying(event) && !MODIFIERS.has(event.key)) {
      field.focus({preventScroll: true});
      sendKey(event, send);
    }
  });
}

// Sends the text typed, composed, pasted or dropped into the field, emptying it, once any
// composition has ended; text already in it (keys typed while the page loaded) goes at once.
function textFromField(field, send) {
  const sendField = () => {
    const text = field.value.replace(/\r?\n/g, "\r");
    field.value = "";
    send(text);
  };
  field.addEventListener("input", event => {
    if (!event.isComposing) {
      sendField();
    }
  });
  field.addEventListener("compositionstart", () => field.classList.add("composing"));
  field.addEventListener("compositionend", () => {
    field.classList.remove("composing");
    sendField();
  });
  // On-screen keyboards delete with an input event, not a key, and the field is empty between
  // compositions, so there is nothing there for it to delete.
  field.addEventListener("beforeinput", event => {
    if (event.inputType === "deleteContentBackward" && field.value === "") {
      event.preventDefault();
      send("\x7f");
    }
  });
  sendField();
}

// Feeds `send(text)` from the text field `field`: its key-downs, and the text typed, composed,
// pasted or dropped into it. Keys typed anywhere else on the page go to the field too, unless they
// belong to the control that has the focus.
export function listenForKeys(field, send) {
  field.addEventListener("keydown", event => sendKey(event, send));
  keysToField(field, send);
  textFromField(field, send);
}
