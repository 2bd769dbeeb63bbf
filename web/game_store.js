// How a game is kept, in two stores and by one writer:
// - IndexedDB, database "qzvillage" (at whatever version it has): "games" holds {id, clock, saved}
//   per game, "answers" one record per answer keyed [id, number], "history" the last games won or
//   lost (history_view.js), keyed by their date and id. Each write is one transaction
//   with strict durability, so that a killed browser keeps every answer whose write completed.
// - The tab's session storage holds each write this page asked for and has not yet seen complete,
//   "qzvillage-pending:<n>" in order. A page that goes away (a reload) ends its unfinished writes;
//   the next page in the tab does them again before it plays, if it plays the same game. No other
//   tab sees them; a tab that copied them (a duplicate) drops them.
// Only the page that holds a game (saved_game.js) writes its answers, each as it is given: answer
// n is put, and any answer after n dropped (a replay that went another way). So an answer once
// kept is removed only when its game is forgotten or a replay went another way, and writes done
// again never remove a later answer: none is asked for before them. A game won or lost is
// forgotten and added to the history in one write, so it is either to be finished or in the
// history, once, whatever a reload or a killed browser cuts short. Where nothing can be kept (no
// database, storage refused or full, a newer version of the site took the database), the player
// is told once and plays on.

const STORES = ["games", "answers", "history"];
// The last games finished are kept, the oldest dropped as each is added.
const FINISHED_KEPT = 50;
const PENDING = "qzvillage-pending:";  // and the write's place in the page's order
// How long a page waits for the database to open: another tab can hold it up, by an upgrade or a
// deletion that an older page of the site does not let through.
const OPEN_WITHIN_MS = 3000;

// Why nothing is being kept, in the page's words.
const NOT_KEPT = {
  none: "这个浏览器不能保存游戏，刷新页面会从头开始。 This browser cannot keep the game: a reload starts afresh.",
  full: "存储空间已满，游戏不再保存。 Storage is full: the game is no longer being kept.",
  busy: "另一个标签页占用着存档，这局游戏不会保存（请关闭本游戏的其他标签页）。 " +
    "Another tab of the game holds the saved games: this game is not being kept (close the game's other tabs).",
  newer: "本网站的新版本接管了存档，这局游戏不再保存（请刷新页面）。 " +
    "A newer version of the game took over the saved games: this game is no longer being kept (reload the page).",
};

let opened = null;
let tell = () => {};
let told = false;

// `words(text)` is told, once, why games are not being kept.
export function whenNotKept(words) {
  tell = words;
}

// Whether games are being kept: nothing has stopped it.
export const keeping = () => !told;

function notKept(why) {
  if (!told) {
    told = true;
    tell(NOT_KEPT[why]);
  }
}

// A newer version asked for, or the database deleted: this page lets go of it, and plays on
// keeping nothing.
function letGo(db) {
  db.close();
  opened = Promise.resolve(null);
  inPlay.clear();
  notKept("newer");
}

// The database, or null where there is none to use; in either case within OPEN_WITHIN_MS. One that
// lacks a store of this build's (one kept before the history) gains it at the next version, which
// the open tabs of earlier builds let through.
function database() {
  opened ??= new Promise(resolve => {
    let settle = (db, why) => {
      settle = later => later?.close();  // opened after the page gave up waiting
      clearTimeout(timer);
      resolve(db);
      if (why) notKept(why);
    };
    const timer = setTimeout(() => settle(null, "busy"), OPEN_WITHIN_MS);
    const open = version => {
      const request = indexedDB.open("qzvillage", version);
      request.onupgradeneeded = () => STORES.forEach((name, index) => request.result.objectStoreNames.contains(name) ||
        request.result.createObjectStore(name, [{keyPath: "id"}, {}, {keyPath: ["date", "game"]}][index]));
      request.onsuccess = () => {
        const db = request.result;
        if (STORES.some(name => !db.objectStoreNames.contains(name))) {
          db.close();
          open(db.version + 1);
          return;
        }
        db.onversionchange = () => letGo(db);
        settle(db);
      };
      request.onerror = () => settle(null, "none");
    };
    try {
      open();
    } catch {
      settle(null, "none");  // no IndexedDB, or storage switched off
    }
  });
  return opened;
}

// Runs work(games, answers, history) in one transaction over the three stores and resolves, once
// it has completed, to what the function work returned gives then; to null when it failed or
// aborted.
async function transaction(mode, work) {
  const db = await database();
  return new Promise(resolve => {
    try {
      const running = db.transaction(STORES, mode, {durability: "strict"});
      const outcome = work(...STORES.map(name => running.objectStore(name)));
      running.oncomplete = () => resolve(outcome());
      running.onabort = () => resolve(null);
    } catch {
      resolve(null);  // no database, or full
    }
  });
}

const answersOf = (id, from = 0) => IDBKeyRange.bound([id, from], [id, Infinity]);

// An answer is one line (text, usually ending in its line feed, never empty: an empty line would
// be the input's end) or one key.
function answerOk(answer) {
  const entries = Object.entries(answer ?? {});
  const [kind, text] = entries[0] ?? [];
  return entries.length === 1 && typeof text === "string" && text !== "" &&
    (kind === "key" || (kind === "line" && !text.slice(0, -1).includes("\n")));
}

// Whether `game` is {clock, answers} as a game is kept: a whole clock reading, and answers that
// are all lines and keys.
export const gameOk = game =>
  Number.isInteger(game?.clock) && Array.isArray(game.answers) && game.answers.every(answerOk);

// The ids of the games kept, the most recently saved first.
export async function keptIds() {
  const records = await transaction("readonly", games => {
    const all = games.getAll();
    return () => all.result;
  });
  return (records ?? []).sort((a, b) => b.saved - a.saved).map(record => record.id);
}

// The game kept under `id`, {clock, answers}, or null when there is none. A game whose answers
// are not whole is forgotten rather than replayed into a game that never happened.
export async function keptGame(id) {
  const kept = await transaction("readonly", (games, answers) => {
    const [game, values, keys] = [games.get(id), answers.getAll(answersOf(id)), answers.getAllKeys(answersOf(id))];
    return () => ({game: game.result, values: values.result, keys: keys.result});
  });
  if (!kept || (kept.game === undefined && kept.keys.length === 0)) {
    return null;
  }
  const game = {clock: kept.game?.clock, answers: kept.values};
  if (gameOk(game) && kept.keys.every(([, number], index) => number === index)) {
    return game;
  }
  forget(id);
  return null;
}

let lastWrite = Promise.resolve(true);
let pending = 0;  // the number of the next write this page asks for

// Resolves once every write asked for so far is done.
export const written = () => lastWrite.then(() => {});

// One write: an answer, {id, clock, saved, number, answer}, kept with the time of saving, and any
// answer kept after it dropped; or {id} alone, the game forgotten; or {id, ended}, the game
// forgotten and `ended` (a record of history_view.js) kept in the history in its place.
function write(games, answers, history, {id, clock, saved, number, answer, ended}) {
  if (answer === undefined) {
    games.delete(id);
    answers.delete(answersOf(id));
    if (ended) {
      history.put(ended);
      const keys = history.getAllKeys();  // the oldest first
      keys.onsuccess = () => keys.result.slice(0, -FINISHED_KEPT).forEach(key => history.delete(key));
    }
    return;
  }
  games.put({id, clock, saved});
  answers.put(answer, [id, number]);
  answers.delete(answersOf(id, number + 1));
}

const session = use => { try { return use(sessionStorage); } catch { return null; } };

// Asks for one write, noted in session storage until this page sees its outcome.
function start(asked) {
  const key = PENDING + pending++;
  session(storage => storage.setItem(key, JSON.stringify(asked)));
  lastWrite = transaction("readwrite", (...stores) => {
    write(...stores, asked);
    return () => true;
  }).then(done => {
    session(storage => storage.removeItem(key));
    return done;
  });
  return lastWrite;
}

const inPlay = new Set();  // the games this page plays that are kept

// Whether this page plays the game `id`, kept: resumed or answered, not yet forgotten.
export const playing = id => inPlay.has(id);
export const resumed = id => inPlay.add(id);

// Keeps the last of `game`'s answers, {clock, answers}, under `id`. A write that fails forgets the
// game: a later answer kept alone would make a game with a gap.
export function keepAnswer(id, game) {
  const number = game.answers.length - 1;
  inPlay.add(id);
  start({id, clock: game.clock, saved: Date.now(), number, answer: game.answers[number]}).then(done => {
    if (done === null) {
      notKept("full");
      forget(id);
    }
  });
}

// Forgets the game `id`; with `ended`, a record of it, keeps that in the history in the same step,
// so that a reload or a killed browser finds either the game to finish or its record.
export function forget(id, ended) {
  inPlay.delete(id);
  return start({id, ended}).then(done => done ?? notKept("full"));
}

// The history, the newest first, or null where none can be kept.
export const finished = () => transaction("readonly", (games, answers, history) => {
  const all = history.getAll();
  return () => all.result.reverse();
});

// Drops the game finished at `key` ([date, game]) from the history, or all of them.
export const dropFinished = key => transaction("readwrite", (games, answers, history) => {
  key ? history.delete(key) : history.clear();
  return () => true;
});

const whole = asked => typeof asked?.id === "string" && (asked.answer === undefined ||
  (Number.isInteger(asked.clock) && Number.isInteger(asked.number) && asked.number >= 0 && answerOk(asked.answer)));

// Does again the writes of the game `id` that the tab's last page left unfinished, in order, and
// drops every write left: those of another game are another tab's, copied with its session storage.
export async function finishPending(id) {
  const keys = (session(storage => Object.keys(storage)) ?? []).filter(key => key.startsWith(PENDING))
    .sort((a, b) => a.slice(PENDING.length) - b.slice(PENDING.length));
  const writes = keys.map(key => {
    try {
      return JSON.parse(session(storage => storage.getItem(key)));
    } catch {
      return null;  // something else's text under the key
    }
  }).filter(asked => asked?.id === id && whole(asked));
  if (writes.length > 0) {
    await transaction("readwrite", (...stores) => {
      writes.forEach(asked => write(...stores, asked));
      return () => true;
    });
  }
  keys.forEach(key => session(storage => storage.removeItem(key)));
}

// Keeps a whole game, {clock, answers}, under `id`, unless a game is kept under it already.
// Resolves to whether the database took it (false also when it had one).
export async function keepGame(id, game) {
  const done = await transaction("readwrite", (games, answers) => {
    games.add({id, clock: game.clock, saved: game.saved ?? 0});
    game.answers.forEach((answer, number) => answers.add(answer, [id, number]));
    return () => true;
  });
  return done === true;
}
