// The games in progress, kept in the browser's local storage so that a reload, or a tab the
// browser discarded, takes the player back to one. A game is its seed and what it read, so that is
// what is kept: the clock reading that seeded it, and every line and key it was given, in order.
// Each tab plays its own game under an id of its own: the id is kept in the tab's session storage,
// which a reload keeps, and a Web Lock of that name says which open tab plays it, so that a
// duplicated tab (which copies session storage) starts a game of its own and a newly opened tab
// resumes only a game no open tab is playing. Storage that is full or switched off costs the
// player the resume, never the game.

const PREFIX = "qzvillage-game:";
const SESSION_KEY = "qzvillage-game-id";
const OLD_KEY = "qzvillage-game";  // the one game kept before each tab had its own
// How long a reloaded tab waits for its own game's lock, which the document it replaces may not
// have given back yet; a duplicated tab waits as long before starting a game of its own.
const PATIENCE_MS = 1000;

// What `use` makes of the local storage, or null when there is none to use (switched off, full).
const local = use => { try { return use(localStorage); } catch { return null; } };
const session = use => { try { return use(sessionStorage); } catch { return null; } };

// An answer is one line (text, usually ending in its line feed, never empty: an empty line would
// be the input's end) or one key.
function answerOk(answer) {
  const entries = Object.entries(answer ?? {});
  const [kind, text] = entries[0] ?? [];
  return entries.length === 1 && typeof text === "string" && text !== "" &&
    (kind === "key" || (kind === "line" && !text.slice(0, -1).includes("\n")));
}

// {clock: seconds, answers: [{line: text} | {key: text}], saved: ms}, or null when there is none.
// A malformed game is forgotten rather than replayed into a game that never happened.
export function savedGame(id) {
  const text = local(storage => storage.getItem(PREFIX + id));
  let game = null;
  try {
    game = JSON.parse(text);
  } catch {
    // something else's text under the key
  }
  if (Number.isInteger(game?.clock) && Array.isArray(game.answers) && game.answers.every(answerOk)) {
    return game;
  }
  if (text !== null) {
    forgetGame(id);
  }
  return null;
}

// Resolves to a function that gives back the lock `name`, or to null when another tab holds it
// for longer than `patience` ms (0: not at all). Without Web Locks (a page not served securely)
// only the tab's own game counts as its own.
function hold(name, patience) {
  if (!navigator.locks) {
    return Promise.resolve(patience > 0 ? () => {} : null);
  }
  const signal = patience > 0 ? AbortSignal.timeout?.(patience) : null;
  const options = signal ? {signal} : {ifAvailable: true};  // no timeout: a browser older than it
  return new Promise(resolve => {
    navigator.locks.request(name, options, lock => lock && new Promise(release => resolve(release)))
      .then(() => resolve(null), () => resolve(null));  // not granted, or given up waiting
  });
}

function idsInStorage() {
  local(storage => {
    const old = storage.getItem(OLD_KEY);
    if (old !== null) {
      storage.setItem(`${PREFIX}old`, old);
      storage.removeItem(OLD_KEY);
    }
  });
  const keys = local(storage => Object.keys(storage)) ?? [];
  return keys.filter(key => key.startsWith(PREFIX)).map(key => key.slice(PREFIX.length));
}

const newId = () => Date.now().toString(36) + Math.random().toString(36).slice(2);

// The game this tab plays, held for as long as the tab is open: {id, game}, where game is the
// saved game to resume, or null to start a new one under that id.
export async function claimGame() {
  let id = session(storage => storage.getItem(SESSION_KEY));
  let release = id && await hold(PREFIX + id, PATIENCE_MS);
  let game = release && savedGame(id);
  if (!game) {
    // The most recently played of the games that no open tab is playing.
    const others = idsInStorage().map(other => [other, savedGame(other)]).filter(([, saved]) => saved);
    for (const [other, saved] of others.sort(([, a], [, b]) => (b.saved ?? 0) - (a.saved ?? 0))) {
      const releaseOther = other !== id && await hold(PREFIX + other, 0);
      if (releaseOther) {
        release?.();
        [id, release, game] = [other, releaseOther, saved];
        break;
      }
    }
  }
  if (!release) {
    id = newId();
    await hold(PREFIX + id, PATIENCE_MS);
  }
  session(storage => storage.setItem(SESSION_KEY, id));
  return {id, game};
}

export function saveGame(id, game) {
  try {
    localStorage.setItem(PREFIX + id, JSON.stringify({...game, saved: Date.now()}));
  } catch {
    forgetGame(id);  // full: the game kept before this answer would resume a game gone another way
  }
}

export function forgetGame(id) {
  local(storage => storage.removeItem(PREFIX + id));
}
