// A finished game offered as a link: an ordinary link on the page, a button that copies it, and
// the system's share sheet where the browser has one. The link opens the page's replay view. The
// offer at a game's end and each game in the history are the same: a link, and beside it the
// buttons of the classes "copy" and "share".

import {words} from "./replay_view.js";

// Offers the link whose fragment is `fragment`, which the page's style shows once a campaign has
// ended. The link is the page's own address with the game as its fragment.
export function offerLink(fragment) {
  document.getElementById("game-link").href = "#" + fragment;
}

document.body.classList.toggle("can-share", !!navigator.share);
document.addEventListener("click", ({target}) => {
  const button = target.closest(".copy, .share");
  const url = button?.parentElement.querySelector("a").href;
  const done = name => () => { document.getElementById("status").textContent = words(name); };
  if (button?.className === "copy") {
    Promise.resolve().then(() => navigator.clipboard.writeText(url)).then(done("copied"), done("not-copied"));
  } else if (button) {
    // A share the viewer called off is no failure, and any other is the share sheet's to tell.
    navigator.share({url}).catch(() => {});
  }
});
