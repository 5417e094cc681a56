// The host's access token: handed over once in the address's fragment (#token=...), which never
// reaches a server, then kept for this tab only and taken out of the address bar.
const storageKey = "dul-host-token";

export function takeToken(location, history, storage) {
  const handed = new URLSearchParams(location.hash.slice(1)).get("token");
  if (handed) {
    storage.setItem(storageKey, handed);
    history.replaceState(null, "", location.pathname + location.search);
  }
  return storage.getItem(storageKey);
}

// The token this tab holds, without taking one from the address: for modules that load after
// editor.js has taken it.
export function storedToken(storage) {
  return storage.getItem(storageKey);
}

export function forgetToken(storage) {
  storage.removeItem(storageKey);
}
