// The page's half of the contract with the compiled game (console/web/ holds the game's half).
// qzvillage.js is an ES module whose default export makes an instance of the game from the .wasm
// the page compiled; each game is a fresh instance, started by calling its main. The game calls
// these hooks, which the page puts on the object it gives to that factory:
//
//   qzWrite(bytes: Uint8Array)        the game's output, at each flush. The array is a copy that
//                                     the page keeps.
//   qzReadLine(): Promise<number>     waits for the next whole line of answers and gives its length
//                                     in bytes, line feed included, or -1 at the end of the input.
//   qzTakeLine(): Uint8Array          that line. The game copies it into its own memory; the array
//                                     stays the page's.
//   qzReadKey(): Promise<Uint8Array>  waits for the next key at a pause: the bytes a terminal sends
//                                     for it. The game copies at most 64; the array stays the page's.
//   qzEnded(code: number)             how the game ended, once, after its last output: 0 victory,
//                                     1 defeat, 2 the end of the input, 3 left at the title
//                                     (console/game_ending.h).
//   qzClockSeconds(): number          the calendar clock in whole seconds since 1970, read once at
//                                     the start to seed the game.
//
// The names are read by the game as Module["name"], so the glue's minifier leaves them alone.

// The page's names for the endings, by their codes.
const ENDINGS = ["victory", "defeat", "input-ended", "quit"];

// Plays one game to its end and gives the name of the ending the game reported, or undefined when
// it stopped without reporting one. `side` is the page's side of it:
// {clockSeconds, write(bytes), readLine(): Promise<Uint8Array | null>, readKey(): Promise<Uint8Array>}.
// Rejects when the module cannot be instantiated.
export async function playGame(createModule, wasm, side) {
  let line = null;
  let ending;
  let failed;
  const failure = new Promise((_, reject) => { failed = reject; });
  const moduleArg = {
    // The .wasm is compiled once by the page, not fetched again by each instance.
    instantiateWasm(imports, receive) {
      WebAssembly.instantiate(wasm, imports).then(instance => receive(instance, wasm), failed);
      return {};
    },
    qzWrite: bytes => side.write(bytes),
    async qzReadLine() {
      line = await side.readLine();
      return line === null ? -1 : line.length;
    },
    qzTakeLine: () => line,
    qzReadKey: () => side.readKey(),
    qzEnded: code => { ending = ENDINGS[code]; },
    qzClockSeconds: () => side.clockSeconds,
  };
  const instance = await Promise.race([createModule(moduleArg), failure]);
  await instance.ccall("main", "number", [], [], {async: true});
  return ending;
}
