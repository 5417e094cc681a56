// The editor page: lists the signed-in summoner's item sets, edits, imports and exports them, and
// follows the host's events. Every change is one PUT of the whole document.
import { HostApi, setsPath } from "./api.js";
import { Champions } from "./champions.js";
import { button, el } from "./dom.js";
import { followEvents } from "./events.js";
import { duplicateOf, mergeSets, newSet, setsOf, withoutSet } from "./model.js";
import { serialReads } from "./serial_reads.js";
import { SetEditor } from "./set_editor.js";
import { matchesFilter, rowsOf, setCount } from "./sets.js";
import { forgetToken, takeToken } from "./token.js";
import { download, fileNameFor, setsInFile } from "./transfer.js";
import { checkSet } from "./validation.js";

const byId = (id) => document.getElementById(id);
const view = {
  who: byId("who"),
  noToken: byId("no-token"),
  noTokenReason: byId("no-token-reason"),
  sets: byId("sets-view"),
  list: byId("list-part"),
  filter: byId("filter"),
  live: byId("live"),
  status: byId("status"),
  listError: byId("list-error"),
  undo: byId("undo"),
  empty: byId("empty"),
  table: byId("sets"),
  count: byId("count"),
  body: byId("sets").tBodies[0],
};

const state = {
  api: null, who: undefined, summonerId: null, document: null, rows: [], sessionWanted: false,
  undo: null,
  champions: new Champions(),
};

const editor = new SetEditor(byId("set-editor"), {
  champions: state.champions,
  announce: showStatus,
  onSave: (set) => save((document) => mergeSets(document, [set]), `Saved “${set.title}”.`),
  onClose: closeEditor,
  onExport: (set) => exportSet(set),
});

function askForToken(reason) {
  view.sets.hidden = true;
  view.noToken.hidden = false;
  if (reason)
    view.noTokenReason.textContent = reason;
}

function showStatus(text) {
  view.status.textContent = text;
}

function cell(text, className, label) {
  return el("td", { textContent: String(text), className, "data-label": label });
}

const columns = ["#", "Title", "Type", "Mode", "Map", "Champions", "Blocks", "Items"];

function renderRows() {
  const shown = state.rows.filter((row) => matchesFilter(row, view.filter.value));
  view.body.replaceChildren(...shown.map((row) => {
    const values = [row.sortrank, row.title, row.type, row.mode, row.map, row.champions.join(", "),
      row.blocks, row.items];
    return el("tr", { "data-uid": row.uid }, ...values.map((value, c) =>
      cell(value, [0, 6, 7].includes(c) ? "number" : "", columns[c])), rowActions(row));
  }));
  view.empty.hidden = state.summonerId === null || state.rows.length > 0;
  view.table.hidden = state.rows.length === 0;
  const all = setCount(state.rows.length);
  view.count.textContent = shown.length === state.rows.length
    ? all : `${shown.length} of ${all} match the filter`;
}

function rowActions(row) {
  const named = (verb) => `${verb} “${row.title || "untitled"}”`;
  return el("td", { className: "actions", "data-label": "Actions" }, el("div", { className: "row" },
    button("Edit", withSet(row.uid, (set) => openEditor(set, named("Edit"))), { label: named("Edit") }),
    button("Duplicate", withSet(row.uid, duplicate), { label: named("Duplicate") }),
    button("Export", withSet(row.uid, exportSet), { label: named("Export") }),
    button("Delete", withSet(row.uid, remove), { label: named("Delete") })));
}

// A row's action on its set as the page last read it; a set gone meanwhile is only reported.
function withSet(uid, action) {
  return () => {
    const set = setsOf(state.document).find((kept) => kept.uid === uid);
    return set ? action(set) : showStatus("That set is gone: another change removed it.");
  };
}

function openEditor(set, heading) {
  view.list.hidden = true;
  editor.open(set, heading);
}

function closeEditor() {
  editor.close();
  view.list.hidden = false;
  renderRows();
  view.filter.focus();
}

// The document "Undo last save" puts back; null for none.
function keepForUndo(document) {
  state.undo = document;
  view.undo.disabled = document === null;
}

// Reads the newest document, PUTs change(document), and keeps the document as it was for "Undo
// last save". The host's refusal is thrown, with its message, to the caller.
async function save(change, done) {
  const path = setsPath(state.summonerId);
  const before = await state.api.get(path);
  await state.api.put(path, change(structuredClone(before)));
  keepForUndo(before);
  // Said once the list shows the change: a read begun before the PUT may still be under way.
  await refresh();
  showStatus(done);
}

// Runs an action of the list; its failure goes beside the toolbar and into the status line, after
// `failedAs` ("Not saved").
async function listAction(failedAs, action) {
  view.listError.textContent = "";
  try {
    await action();
  } catch (error) {
    view.listError.textContent = `${failedAs}: ${error.message}`;
    showStatus(`${failedAs}: ${error.message}`);
  }
}

function duplicate(set) {
  const copy = duplicateOf(set, state.document);
  return listAction("Not saved",
    () => save((document) => mergeSets(document, [copy]), `Saved “${copy.title}”.`));
}

function remove(set) {
  return listAction("Not saved", () => save((document) => withoutSet(document, set.uid),
    `Deleted “${set.title ?? ""}”. “Undo last save” brings it back.`));
}

function exportSet(set) {
  download(fileNameFor(set.title ?? ""), set);
}

function exportAll() {
  download(`item-sets-${state.summonerId}.json`, state.document);
}

// A file of one set or of a whole document merges into the sets: a set whose uid is already there
// replaces that set, any other is added. Nothing is removed, and "Undo last save" takes it back.
async function importFile(input) {
  const [file] = input.files;
  input.value = "";
  if (!file)
    return;
  await listAction("Not imported", async () => {
    const checked = (await setsInFile(file)).map((set) => checkSet(set, state.champions));
    const wrong = checked.find(({ problems }) => problems.size > 0);
    if (wrong)
      throw new Error(`“${wrong.set.title ?? ""}”: ${[...wrong.problems.values()][0]}`);
    await save((document) => mergeSets(document, checked.map(({ set }) => set)),
      `Imported ${checked.length} set(s) from ${file.name}.`);
  });
}

function undoLastSave() {
  return listAction("Not undone", async () => {
    await state.api.put(setsPath(state.summonerId), state.undo);
    keepForUndo(null);
    await refresh();
    showStatus("The last save is undone.");
  });
}

async function readSession() {
  // 404: nobody is signed in, which the page shows rather than reports as a failed read.
  const session = await state.api.get("/dul-login/v1/session").catch((error) => {
    if (error?.status === 404)
      return null;
    throw error;
  });
  const signedIn = session?.state === "SUCCEEDED" && /^[1-9]\d*$/.test(session.summonerId ?? "");
  const who = signedIn ? `${session.summonerId}/${session.accountId}` : null;
  if (state.who !== undefined && who !== state.who)
    forgetPreviousPlayer();
  state.who = who;
  state.summonerId = signedIn ? session.summonerId : null;
  view.who.textContent = signedIn ? `Summoner ${session.summonerId}` : "Nobody signed in";
}

// Another player's draft or undo would land in this player's document: both are dropped.
function forgetPreviousPlayer() {
  keepForUndo(null);
  if (editor.draft !== null) {
    closeEditor();
    showStatus("The signed-in player changed: the editor closed without saving.");
  }
}

async function readSets() {
  if (state.summonerId === null) {
    state.document = null;
    state.rows = [];
    showStatus("Nobody is signed in: sign in with the Simulated platform panel to see the sets.");
    renderRows();
    return;
  }
  state.document = await state.api.get(setsPath(state.summonerId));
  state.rows = rowsOf(state.document, state.champions);
  renderRows();
}

const readLatest = serialReads(async () => {
  const session = state.sessionWanted;
  state.sessionWanted = false;
  try {
    if (session)
      await readSession();
    await readSets();
  } catch (error) {
    failed(error);
  }
});

// Reads the sets again, and the session first when `session` asks for it (for this read or for
// the one queued behind it).
function refresh({ session = false } = {}) {
  state.sessionWanted ||= session;
  return readLatest();
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

function wireControls() {
  view.filter.addEventListener("input", renderRows);
  byId("new-set").addEventListener("click", () =>
    openEditor(newSet(state.document), "New item set"));
  byId("export-all").addEventListener("click", exportAll);
  byId("import").addEventListener("change", (event) => importFile(event.target));
  view.undo.addEventListener("click", undoLastSave);
}

// The champion summary is read once; the list shows aliases as soon as it is there.
async function readChampions() {
  try {
    Object.assign(state.champions, await Champions.read(state.api));
    state.rows = rowsOf(state.document, state.champions);
    renderRows();
  } catch (error) {
    showStatus(`Champion names are not available: ${error.message}`);
  }
}

function start() {
  const token = takeToken(window.location, window.history, sessionStorage);
  if (!token) {
    askForToken();
    return;
  }
  state.api = new HostApi(token);
  view.sets.hidden = false;
  wireControls();
  refresh({ session: true }).then(readChampions);
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
