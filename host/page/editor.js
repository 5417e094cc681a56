// The editor page: lists the signed-in summoner's item sets and follows the host's events.
import { HostApi, setsPath } from "./api.js";
import { followEvents } from "./events.js";
import { matchesTitle, rowsOf } from "./sets.js";
import { forgetToken, takeToken } from "./token.js";

const byId = (id) => document.getElementById(id);
const view = {
  who: byId("who"),
  noToken: byId("no-token"),
  noTokenReason: byId("no-token-reason"),
  sets: byId("sets-view"),
  filter: byId("filter"),
  live: byId("live"),
  status: byId("status"),
  empty: byId("empty"),
  table: byId("sets"),
  body: byId("sets").tBodies[0],
};

const state = { api: null, summonerId: null, rows: [], reading: null };

function askForToken(reason) {
  view.sets.hidden = true;
  view.noToken.hidden = false;
  if (reason)
    view.noTokenReason.textContent = reason;
}

function showStatus(text) {
  view.status.textContent = text;
}

function cell(text, className) {
  const td = document.createElement("td");
  td.textContent = String(text);
  if (className)
    td.className = className;
  return td;
}

function renderRows() {
  const shown = state.rows.filter((row) => matchesTitle(row, view.filter.value));
  view.body.replaceChildren(
    ...shown.map((row) => {
      const tr = document.createElement("tr");
      tr.dataset.uid = row.uid;
      tr.append(cell(row.sortrank, "number"), cell(row.title), cell(row.type), cell(row.mode),
        cell(row.map), cell(row.champions), cell(row.blocks, "number"), cell(row.items, "number"));
      return tr;
    }));
  view.empty.hidden = state.summonerId === null || state.rows.length > 0;
  view.table.hidden = state.rows.length === 0;
  if (state.rows.length > 0 && shown.length !== state.rows.length)
    showStatus(`${shown.length} of ${state.rows.length} sets match the filter`);
  else if (state.rows.length > 0)
    showStatus(`${state.rows.length} sets`);
}

async function readSession() {
  const session = await state.api.getJson("/dul-login/v1/session");
  const signedIn = session?.state === "SUCCEEDED" && session.summonerId;
  state.summonerId = signedIn ? session.summonerId : null;
  view.who.textContent = signedIn ? `Summoner ${session.summonerId}` : "Nobody signed in";
}

async function readSets() {
  if (state.summonerId === null) {
    state.rows = [];
    showStatus("Nobody is signed in: sign in with PUT /dul-login/v1/session to see the sets.");
    renderRows();
    return;
  }
  state.rows = rowsOf(await state.api.getJson(setsPath(state.summonerId)));
  renderRows();
}

// One read at a time; a change that arrives during a read asks for one more afterwards.
function refresh({ session = false } = {}) {
  const previous = state.reading ?? Promise.resolve();
  state.reading = previous
    .then(() => (session ? readSession() : null))
    .then(readSets)
    .catch(failed);
  return state.reading;
}

function failed(error) {
  if (error?.status === 401) {
    forgetToken(sessionStorage);
    askForToken("dul-host refused the token this tab holds (it changes at every start).");
    return;
  }
  showStatus(`Could not read from dul-host: ${error.message}`);
}

// Every host event also goes to the page's other modules, as a "dul-host-event" on document.
function onEvent(name, data) {
  document.dispatchEvent(new CustomEvent("dul-host-event", { detail: { name, data } }));
  const uri = typeof data?.uri === "string" ? data.uri : "";
  if (name === "reset" || uri === "/dul-login/v1/session")
    refresh({ session: true });
  else if (uri.startsWith("/dul-item-sets/v1/item-sets/"))
    refresh();
}

function start() {
  const token = takeToken(window.location, window.history, sessionStorage);
  if (!token) {
    askForToken();
    return;
  }
  state.api = new HostApi(token);
  view.sets.hidden = false;
  view.filter.addEventListener("input", renderRows);
  refresh({ session: true });
  const onState = (live) => {
    view.live.dataset.state = live;
    view.live.textContent = live === "open" ? "live" : "reconnecting";
    // Whatever changed while the stream was away is read again.
    if (live === "open")
      refresh({ session: true });
  };
  followEvents(state.api, { onEvent, onState, signal: new AbortController().signal }).catch(
    failed);
}

start();
