// Which game each tab plays, so that a reload, or a tab the browser discarded, takes the player back
// to one (game_store.js keeps the games). Each tab plays its own game under an id of its own: the
// id is kept in the tab's session storage, which a reload keeps, and a Web Lock of that name says
// which open tab plays it, so that a duplicated tab (which copies session storage) starts a game of
// its own and a newly opened tab resumes only a game no open tab is playing. Without Web Locks (a
// page not served securely) a tab resumes only its own game. The one timing rule: a page going
// away marks its game in local storage as left a moment ago, for a newly opened tab to leave it to
// the reload that may follow; a mark is no longer heeded, and is removed, after PATIENCE_MS. Games
// kept in local storage by earlier builds are moved into the database, each under an id no game has.

import {finishPending, gameOk, keepGame, keptGame, keptIds, playing, resumed} from "./game_store.js";

const PREFIX = "qzvillage-game:";  // before each lock's name, and each game's key in local storage
const SESSION_KEY = "qzvillage-game-id";
const OLD_KEY = "qzvillage-game";  // the one game kept before each tab had its own
// When a tab's page went away (a reload, or the tab closed), by the browser's clock.
const LEAVING = "qzvillage-leaving:";
// How long a reloaded tab waits for its own game's lock, which the document it replaces may not
// have given back yet; a duplicated tab waits as long before starting a game of its own, and a
// newly opened tab as long after a page went away before taking its game.
const PATIENCE_MS = 1000;

// What `use` makes of the local storage, or null when there is none to use (switched off, full).
const local = use => { try { return use(localStorage); } catch { return null; } };
const session = use => { try { return use(sessionStorage); } catch { return null; } };
const now = () => performance.timeOrigin + performance.now();  // not Date.now, which tests pin
const pause = ms => new Promise(resolve => setTimeout(resolve, ms));

// One request for the lock `name`: resolves to a function that gives it back, or to null.
const request = (name, options) => new Promise(resolve => {
  navigator.locks.request(name, options, lock => lock && new Promise(release => resolve(release)))
    .then(() => resolve(null), () => resolve(null));  // not granted, or given up waiting
});

// Resolves to a function that gives back the lock `name`, or to null when another tab holds it
// for longer than `patience` ms (0: not at all). Only a holder counts: a lock that is free when
// asked for, or when the wait ends, is had however late a busy browser grants it. Without Web
// Locks (a page not served securely) only the tab's own game counts as its own.
async function hold(name, patience) {
  if (!navigator.locks) {
    return patience > 0 ? () => {} : null;
  }
  const free = () => request(name, {ifAvailable: true});
  const had = await free();
  // A browser older than AbortSignal.timeout does not wait.
  if (had || !(patience > 0 && AbortSignal.timeout)) {
    return had;
  }
  return await request(name, {signal: AbortSignal.timeout(patience)}) ?? free();
}

const newId = () => Date.now().toString(36) + Math.random().toString(36).slice(2);

// The games of earlier builds' local storage, moved into the database and removed: the one game of
// the oldest under a new id, and each of the last build's that no open tab plays under its own (any,
// without Web Locks, as no tab can say it plays one), the game `own` this page holds among them.
// Resolves to the oldest's new id, or null.
async function moveOldGames(own) {
  const keys = local(storage => Object.keys(storage)) ?? [];
  let movedOld = null;
  for (const key of keys.filter(name => name === OLD_KEY || name.startsWith(PREFIX))) {
    const free = key === OLD_KEY || key === PREFIX + own || !navigator.locks;
    const release = free ? () => {} : await hold(key, 0);
    if (release) {
      let game = null;
      try {
        game = JSON.parse(local(storage => storage.getItem(key)));
      } catch {
        // something else's text under the key
      }
      const id = key === OLD_KEY ? newId() : key.slice(PREFIX.length);
      const whole = game?.answers?.length > 0 && gameOk(game);
      const kept = !whole || await keepGame(id, game) || await keptGame(id);
      if (kept) {
        local(storage => storage.removeItem(key));
      }
      movedOld = whole && kept && key === OLD_KEY ? id : movedOld;
      release();
    }
  }
  return movedOld;
}

const leftAt = key => now() - Number(local(storage => storage.getItem(key)));

// Removes the marks of pages that went away longer ago than PATIENCE_MS.
function sweepMarks() {
  const keys = local(storage => Object.keys(storage)) ?? [];
  for (const key of keys.filter(name => name.startsWith(LEAVING))) {
    const gone = leftAt(key);
    if (!(gone >= 0 && gone < PATIENCE_MS)) {
      local(storage => storage.removeItem(key));
    }
  }
}

// A lock on the game `id` of another tab, or null while a tab plays it. A tab whose page has just
// gone away may be reloading, or closing and about to give its lock back: its game is left alone
// for a moment, for it to take back or to give up.
async function holdOthers(id) {
  for (;;) {
    const release = await hold(PREFIX + id, 0);
    const gone = leftAt(LEAVING + id);
    if (!(gone >= 0 && gone < PATIENCE_MS)) {
      return release;
    }
    release?.();
    await pause(PATIENCE_MS - gone);
  }
}

// The most recently played of the games that no open tab plays, but `own`: [id, release, game],
// or null.
async function freeGame(own) {
  for (const other of await keptIds()) {
    const release = other === own ? null : await holdOthers(other);
    const saved = release && await keptGame(other);
    if (saved) {
      return [other, release, saved];
    }
    release?.();
  }
  return null;
}

// The game this tab plays, held for as long as the tab is open: {id, game}, where game is the
// saved game to resume, or null to start a new one under that id. The tab's own game first, its
// unfinished writes done; else a game of the oldest build's, just moved; else a free one.
export async function claimGame() {
  sweepMarks();
  let id = session(storage => storage.getItem(SESSION_KEY));
  let release = id === null ? null : await hold(PREFIX + id, PATIENCE_MS);
  await finishPending(release ? id : null);
  const movedOld = await moveOldGames(release ? id : null);
  let game = release && await keptGame(id);
  if (!game && movedOld) {
    release?.();
    [id, release, game] = [movedOld, await hold(PREFIX + movedOld, PATIENCE_MS), await keptGame(movedOld)];
  }
  const free = game ? null : await freeGame(id);
  if (free) {
    release?.();
    [id, release, game] = free;
  }
  if (!release) {
    id = newId();
    await hold(PREFIX + id, PATIENCE_MS);
  }
  session(storage => storage.setItem(SESSION_KEY, id));
  if (game) {
    resumed(id);
  }
  // The mark is taken back by this page, or by the page shown again from the back/forward cache.
  const takeBack = () => local(storage => storage.removeItem(LEAVING + id));
  takeBack();
  addEventListener("pageshow", event => event.persisted && takeBack());
  // Without Web Locks no tab takes another's game, so there is nothing to mark.
  const mark = () => navigator.locks && playing(id) && local(storage => storage.setItem(LEAVING + id, String(now())));
  addEventListener("pagehide", mark);
  return {id, game};
}
