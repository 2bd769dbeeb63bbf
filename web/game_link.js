// A finished game as the fragment of a link: its clock reading and its answers, which make the
// whole game again, and a check of the text it wrote, by which a build whose game went another
// way is told apart. The fragment is "1.CLOCK.ANSWERS.CHECK": the format's version, the clock in
// base 36, the answers one after another, and the check in base 36, so that the link ends in a
// letter or digit (a chat that makes links of text leaves a trailing "." or ")" out of them).
// Most answers are one character: a line of one letter or digit is that character, Enter at a
// pause "-", Space "!"; any other answer is "~",
// "l" or "k" for a line or a key, its characters' code points in base 36 with "_" between them,
// and "~" again. Every character is one a fragment may hold as it is, so the link is copied and
// pasted unchanged.

// A longer fragment is no game's: told at once, before anything else is made of it.
export const LONGEST = 100000;
const KEYS = {"-": "\r", "!": " "};  // by their codes

// The text of a run of code points, or null when it is none: one that is empty, or no number
// (NaN), or beyond the last code point, is refused by fromCodePoint.
function fromCodePoints(run) {
  try {
    return String.fromCodePoint(...run.split("_").map(point => parseInt(point, 36)));
  } catch {
    return null;
  }
}

// FNV-1a over the UTF-16 code units of `text`: 32 bits are enough to tell a game that went
// another way. Always seven characters, so that a link cut short within them is told from one of
// another game.
export function check(text) {
  let hash = 0x811c9dc5;
  for (let i = 0; i < text.length; i++) {
    hash = Math.imul(hash ^ text.charCodeAt(i), 0x01000193) >>> 0;
  }
  return hash.toString(36).padStart(7, "0");
}

function packAnswer(answer) {
  const [[kind, text]] = Object.entries(answer);
  const code = Object.keys(KEYS).find(key => KEYS[key] === text);
  if (kind === "line" && /^[0-9A-Za-z]\n$/.test(text)) {
    return text[0];
  }
  if (kind === "key" && code) {
    return code;
  }
  return `~${kind[0]}${Array.from(text, c => c.codePointAt(0).toString(36)).join("_")}~`;
}

// The fragment, "#" left out, of the game {clock, answers} whose transcript is `transcript`.
export const pack = (game, transcript) =>
  ["1", game.clock.toString(36), game.answers.map(packAnswer).join(""), check(transcript)].join(".");

// The answers a packed run holds, or null when it holds anything else.
function unpackAnswers(packed) {
  const answers = [];
  const token = /([0-9A-Za-z])|([-!])|~([lk])(\w*)~/y;
  while (token.lastIndex < packed.length) {
    const [, line, code, kind, run] = token.exec(packed) ?? [];
    const text = line ? line + "\n" : code ? KEYS[code] : kind && fromCodePoints(run);
    if (!text) {
      return null;
    }
    answers.push({[line || kind === "l" ? "line" : "key"]: text});
  }
  return answers;
}

// {clock, answers, check} from a fragment ("#" left out; percent escapes undone), or
// {problem} naming what is wrong with it: "long", "characters", "version" (one this build does not
// know), "short" (cut short), "clock" (out of range).
export function unpack(fragment) {
  if (fragment.length > LONGEST) {
    return {problem: "long"};
  }
  let parts;
  try {
    parts = decodeURIComponent(fragment).split(".");
  } catch {
    return {problem: "characters"};
  }
  const [version, clock, packed, sum] = parts;
  if (version !== "1") {
    return {problem: /^[0-9a-z]+$/.test(version) ? "version" : "characters"};
  }
  if (parts.length < 4 || sum.length < 7) {
    return {problem: "short"};
  }
  const answers = unpackAnswers(packed);
  if (parts.length > 4 || !answers || !/^[0-9a-z]{7}$/.test(sum) || !/^[0-9a-z]+$/.test(clock)) {
    return {problem: "characters"};
  }
  const seconds = parseInt(clock, 36);
  return Number.isSafeInteger(seconds) ? {clock: seconds, answers, check: sum} : {problem: "clock"};
}
