// The synchronisation panel: what dul-host saw of the item sets' way to the preferences service,
// the game's files and the telemetry (GET /dul-host/v1/sync), read again after every host event.
import { el, setText } from "./dom.js";
import { serialReads } from "./serial_reads.js";
import { setCount } from "./sets.js";

// The name under which the plugin schedules each tick of its upload check.
const uploadTimer = "Timer: dul-item-sets.check_upload";

const seconds = (value) => `${value.toFixed(1)} s`;
const when = (entry) => `${entry.time} (${seconds(entry.clockSeconds)} on the host clock)`;

function nextCheck(view) {
  const timer = view.scheduled.find((callback) => callback.name === uploadTimer);
  if (!timer)
    return "not scheduled (it starts at the next readiness update)";
  if (timer.dueSeconds === null)
    return "never";
  return `in ${seconds(Math.max(timer.inSeconds, 0))}, at ${seconds(timer.dueSeconds)} on the ` +
    `${view.clock.kind} clock`;
}

function stored(entry) {
  return entry ? `modified ${entry.modified} (${entry.type}, ${entry.dataBytes} bytes) at ` +
    when(entry) : "none since dul-host started";
}

function failedStore(entry) {
  return entry ? `${entry.status}: ${entry.message}, at ${when(entry)}` : "none";
}

function saveEvent(entry) {
  if (!entry)
    return "none";
  const metrics = Object.keys(entry.data).length;
  return `${setCount(entry.data["item_sets.count"])}, ${metrics} metrics, at ${when(entry)}`;
}

export class SyncPanel {
  constructor(api) {
    this.api = api;
    this.refresh = serialReads(() => this.read());
    this.wake = null;
    this.onView = () => {};
    const value = (id) => el("dd", { id });
    this.fields = {
      next: value("sync-next"), stored: value("sync-stored"), failed: value("sync-failed"),
      save: value("sync-save"),
    };
    this.metrics = el("ul", { id: "sync-metrics", className: "metrics" });
    this.files = el("tbody");
    this.noFiles = el("p", { id: "sync-no-files", textContent: "No files yet." });
    this.status = el("p", { id: "sync-status", className: "hint", role: "status",
      "aria-live": "polite" });
    const term = (text) => el("dt", { textContent: text });
    this.section = el("section", { id: "sync", "aria-labelledby": "sync-title" },
      el("h2", { id: "sync-title", textContent: "Synchronisation" }),
      el("dl", { "aria-live": "polite" },
        term("Next upload check"), this.fields.next,
        term("Last stored preference"), this.fields.stored,
        term("Last failed store"), this.fields.failed,
        term("Last save telemetry"), this.fields.save),
      el("details", {}, el("summary", { textContent: "Metrics of the last save" }), this.metrics),
      el("h3", { id: "sync-files-title", textContent: "Files in the game's configuration directory" }),
      this.noFiles,
      el("table", { id: "sync-files", "aria-labelledby": "sync-files-title" },
        el("thead", {}, el("tr", {}, ...["Path", "Bytes", "Modified (UTC)"].map(
          (text) => el("th", { scope: "col", textContent: text })))),
        this.files),
      this.status);
  }

  async read() {
    try {
      this.render(await this.api.get("/dul-host/v1/sync"));
    } catch (error) {
      setText(this.status, `Could not read the synchronisation state: ${error.message}`);
    }
  }

  render(view) {
    setText(this.fields.next, nextCheck(view));
    setText(this.fields.stored, stored(view.lastStored));
    setText(this.fields.failed, failedStore(view.lastFailedStore));
    setText(this.fields.save, saveEvent(view.lastSaveEvent));
    this.metrics.replaceChildren(...Object.entries(view.lastSaveEvent?.data ?? {}).map(
      ([name, count]) => el("li", {}, el("code", { textContent: name }), ` ${count}`)));
    this.files.replaceChildren(...view.gameFiles.map((file) => el("tr", {},
      el("td", { className: "path", textContent: file.path }),
      el("td", { className: "number", textContent: String(file.bytes) }),
      el("td", { textContent: file.modified.replace("T", " ").replace("Z", "") }))));
    this.noFiles.hidden = view.gameFiles.length > 0;
    setText(this.status, "");
    this.wakeAtNextDue(view);
    this.onView(view);
  }

  // On the real clock nothing is published when a timer falls due: read again just after.
  wakeAtNextDue(view) {
    clearTimeout(this.wake);
    const next = view.scheduled.find((callback) => callback.inSeconds !== null);
    if (view.clock.kind === "real" && next)
      this.wake = setTimeout(() => this.refresh(), Math.max(next.inSeconds, 0) * 1000 + 250);
  }
}
