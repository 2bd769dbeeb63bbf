// A finished game offered as a link: an ordinary link on the page, a button that copies it, and
// the system's share sheet where the browser has one. The link opens the page's replay view.

import {pack} from "./game_link.js";
import {words} from "./replay_view.js";

const element = id => document.getElementById(id);
const link = element("game-link");

// Makes the offer, which the page's style shows once a campaign has ended, the link to the game
// {clock, answers} whose transcript is `transcript`. The link is the page's own address with the
// game as its fragment.
export function offerLink(game, transcript) {
  link.href = "#" + pack(game, transcript);
}

element("share-link").hidden = !navigator.share;
element("copy-link").addEventListener("click", () => {
  const done = name => () => { element("status").textContent = words(name); };
  Promise.resolve().then(() => navigator.clipboard.writeText(link.href)).then(done("copied"), done("not-copied"));
});
// A share the viewer called off is no failure, and any other is the share sheet's to tell.
element("share-link").addEventListener("click", () => navigator.share({url: link.href}).catch(() => {}));
