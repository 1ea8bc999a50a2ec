// The names under which the browser keeps what the page keeps. Each starts
// with the page's one prefix, so that what is the page's can be told from
// what another page of the same origin keeps (a full storage gives up only
// the page's runs); the build writes the prefix into the service worker's
// cache names too.

/// The prefix of every name the page keeps something under.
export const storagePrefix = 'labyrinth-writer';

/// The name of what the page keeps of `what` ("run", "map-shown"; none:
/// the player's files) for the labyrinth of `seedCode` (none: for no one
/// labyrinth; "": the start of every such name).
export const storageKey = (what = '', seedCode = null) =>
  `${storagePrefix}${what ? `-${what}` : ''}${seedCode === null ? '' : ` ${seedCode}`}`;
