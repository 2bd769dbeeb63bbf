// The games kept in the browser's IndexedDB, where a write is on disk once its transaction has
// completed (strict durability), so that a browser killed a moment after an answer still has it.
// A game is two kinds of record: one in "games" with its clock reading, written with its first
// answer, and one in "answers" per answer, keyed [id, number]. Saving an answer writes that
// answer alone, so it costs the same at the end of a long game as at its start. A page that goes
// away (a reload) ends the writes it has not finished, so it leaves them in local storage, and the
// next page to look for a game finishes them first.

const STORES = ["games", "answers"];
const UNFINISHED = "qzvillage-unfinished:";  // and the game's id: its writes a page left unfinished

let opened = null;

// The database, or null where there is none to use (switched off, a browser without it).
function database() {
  opened ??= new Promise(resolve => {
    try {
      const request = indexedDB.open("qzvillage", 1);
      request.onupgradeneeded = () => {
        request.result.createObjectStore("games", {keyPath: "id"});
        request.result.createObjectStore("answers");
      };
      request.onsuccess = () => resolve(request.result);
      request.onerror = () => resolve(null);
    } catch {
      resolve(null);
    }
  });
  return opened;
}

// Runs work(games, answers) in one transaction over both stores and resolves, once it has
// completed, to what the function work returned gives then; to null when it failed or aborted.
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
const unfinished = [];  // the writes asked for and not yet done, oldest first

// Resolves once every write asked for so far is done.
export const written = () => lastWrite.then(() => {});

// One write: an answer, {id, clock, saved, number, answer}, kept with the time of saving, and any
// answer kept after it dropped (those of a saved game that the replay went another way from);
// or {id} alone, the game forgotten.
function write(games, answers, {id, clock, saved, number, answer}) {
  if (answer === undefined) {
    games.delete(id);
    answers.delete(answersOf(id));
    return;
  }
  games.put({id, clock, saved});
  answers.put(answer, [id, number]);
  answers.delete(answersOf(id, number + 1));
}

function start(asked) {
  unfinished.push(asked);
  lastWrite = transaction("readwrite", (games, answers) => {
    write(games, answers, asked);
    return () => true;
  }).then(done => {
    unfinished.splice(unfinished.indexOf(asked), 1);
    return done;
  });
  return lastWrite;
}

// Keeps the last of `game`'s answers, {clock, answers}, under `id`. A write that fails forgets the
// game: a later answer kept alone would make a game with a gap.
export function keepAnswer(id, game) {
  const number = game.answers.length - 1;
  start({id, clock: game.clock, saved: Date.now(), number, answer: game.answers[number]})
    .then(done => done ?? forget(id));
}

export const forget = id => start({id});

// Leaves the writes not yet done in local storage, for the next page; for a page going away.
export function leaveUnfinished() {
  try {
    for (const id of new Set(unfinished.map(asked => asked.id))) {
      localStorage.setItem(UNFINISHED + id, JSON.stringify(unfinished.filter(asked => asked.id === id)));
    }
  } catch {
    // no local storage: they are lost, as a killed browser's would be
  }
}

// Does the writes that pages left unfinished, in order; those that are not writes are dropped.
export async function finishUnfinished() {
  let keys = [];
  try {
    keys = Object.keys(localStorage).filter(key => key.startsWith(UNFINISHED));
  } catch {
    return;
  }
  for (const key of keys) {
    let writes = [];
    try {
      writes = JSON.parse(localStorage.getItem(key));
    } catch {
      // something else's text under the key
    }
    const whole = asked => typeof asked?.id === "string" && (asked.answer === undefined ||
      (Number.isInteger(asked.clock) && Number.isInteger(asked.number) && asked.number >= 0 && answerOk(asked.answer)));
    if (Array.isArray(writes) && writes.every(whole)) {
      await transaction("readwrite", (games, answers) => {
        writes.forEach(asked => write(games, answers, {saved: 0, ...asked}));
        return () => true;
      });
    }
    localStorage.removeItem(key);
  }
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

