// The simulated platform's controls: the login session, the item-set settings, the preferences
// service's readiness, the virtual clock and the fault rules. Each action writes the host's
// answer next to its control; the shown values follow the host's events.
import { el, field, outcome, setText } from "./dom.js";
import { report } from "./host_calls.js";

const paths = {
  session: "/dul-login/v1/session",
  settings: "/dul-platform-config/v1/namespaces/ItemSets",
  ready: "/dul-player-preferences/v1/player-preferences-ready",
  faults: "/dul-host/v1/faults",
  advance: "/dul-host/v1/clock/advance",
};
// Paths a fault rule is most often aimed at, offered while typing one.
const faultPaths = [
  "/dul-player-preferences/v1/preference", "/dul-player-preferences/v1/preference/ItemSets",
  paths.session, paths.settings, paths.ready, "/dul-game-data/assets/v1/champions/3.json",
  "/telemetry/v1/events/item_sets__item_sets_save",
];
const idPattern = /^\d{1,20}$/;

const input = (id, props = {}) => el("input", { id, ...props });
const button = (id, textContent, type = "submit") => el("button", { id, type, textContent });

// The plugin reads "UploadRateLimit" only as a floating-point number, so 30 is sent as 30.0.
export function floatText(value) {
  return Number.isInteger(value) ? value.toFixed(1) : String(value);
}

// `itemText` appended to the JSON list `listText`, both left as written.
export function appendToList(listText, itemText) {
  const body = listText.trim().slice(1, -1).trim();
  return `[${body ? `${body}, ` : ""}${itemText}]`;
}

function sessionText(session) {
  if (!session)
    return "Nobody signed in (no session)";
  return `${session.state}: account ${session.accountId}, summoner ${session.summonerId}`;
}

function ruleText(rule) {
  const answer = rule.stream === "error" ? "a broken stream" : `status ${rule.status}`;
  return `${rule.method} ${rule.path} → ${answer}, ${rule.count} more`;
}

function form(id, title, ...content) {
  const heading = el("h3", { id: `${id}-title`, textContent: title });
  return el("form", { id, "aria-labelledby": heading.id }, heading, ...content);
}

export class PlatformPanel {
  constructor(api) {
    this.api = api;
    this.section = el("section", { id: "platform", "aria-labelledby": "platform-title" },
      el("h2", { id: "platform-title", textContent: "Simulated platform" }),
      this.buildSession(), this.buildSettings(), this.buildReadiness(), this.buildClock(),
      this.buildFaults());
  }

  buildSession() {
    this.session = el("p", { id: "session-now", "aria-live": "polite" });
    this.accountId = input("session-account", { inputMode: "numeric", required: true,
      pattern: "\\d{1,20}", autocomplete: "off" });
    this.summonerId = input("session-summoner", { inputMode: "numeric", required: true,
      pattern: "\\d{1,20}", autocomplete: "off" });
    const signOut = button("session-sign-out", "Sign out", "button");
    const done = outcome("session-outcome");
    const sessionForm = form("session-form", "Login session", this.session,
      field("Account id", this.accountId), field("Summoner id", this.summonerId),
      el("div", { className: "row" }, button("session-sign-in", "Sign in"), signOut), done);
    this.replaceOrDelete(sessionForm, signOut, done, paths.session, () => {
      const [account, summoner] = [this.accountId.value.trim(), this.summonerId.value.trim()];
      if (!idPattern.test(account) || !idPattern.test(summoner)) {
        done.textContent = "Ids are whole numbers of up to 20 digits.";
        return null;
      }
      // Built as text: the ids go to the host digit for digit.
      return `{"state": "SUCCEEDED", "accountId": ${account}, "summonerId": ${summoner}}`;
    });
    return sessionForm;
  }

  buildSettings() {
    this.editorEnabled = input("settings-editor", { type: "checkbox" });
    this.sendToGame = input("settings-send", { type: "checkbox" });
    this.rateLimit = input("settings-rate", { type: "number", min: "0", step: "any",
      required: true });
    this.settingsNow = el("p", { id: "settings-now", "aria-live": "polite" });
    const remove = button("settings-delete", "Delete settings", "button");
    const done = outcome("settings-outcome");
    const settingsForm = form("settings-form", "Item-set settings", this.settingsNow,
      field("EditorEnabled", this.editorEnabled), field("SendItemSetsToGame", this.sendToGame),
      field("UploadRateLimit (seconds)", this.rateLimit),
      el("div", { className: "row" }, button("settings-apply", "Apply settings"), remove),
      done);
    this.replaceOrDelete(settingsForm, remove, done, paths.settings, () =>
      `{"EditorEnabled": ${this.editorEnabled.checked}, "SendItemSetsToGame": ` +
      `${this.sendToGame.checked}, "UploadRateLimit": ${floatText(this.rateLimit.valueAsNumber)}}`);
    return settingsForm;
  }

  // Submitting `formNode` PUTs bodyOf() to `path` (nothing when it gives null); the answer goes
  // to `done`.
  putOnSubmit(formNode, done, path, bodyOf) {
    formNode.addEventListener("submit", (event) => {
      event.preventDefault();
      const body = bodyOf();
      if (body !== null)
        report(done, () => this.api.send("PUT", path, body));
    });
  }

  // The same, and `remove` DELETEs `path`.
  replaceOrDelete(formNode, remove, done, path, bodyOf) {
    this.putOnSubmit(formNode, done, path, bodyOf);
    remove.addEventListener("click", () => report(done, () => this.api.send("DELETE", path)));
  }

  buildReadiness() {
    this.ready = input("ready-value", { type: "checkbox" });
    this.readyNow = el("p", { id: "ready-now", "aria-live": "polite" });
    const done = outcome("ready-outcome");
    const readyForm = form("ready-form", "Preferences service", this.readyNow,
      field("Ready", this.ready), button("ready-publish", "Publish readiness"), done);
    this.putOnSubmit(readyForm, done, paths.ready, () => String(this.ready.checked));
    return readyForm;
  }

  buildClock() {
    this.clockNow = el("p", { id: "clock-now", "aria-live": "polite" });
    this.step = input("clock-seconds", { type: "number", min: "0", max: "86400", step: "any",
      value: "5", required: true });
    this.advance = button("clock-advance", "Advance");
    const done = outcome("clock-outcome");
    const clockForm = form("clock-form", "Clock", this.clockNow,
      field("Seconds to advance", this.step), this.advance, done);
    clockForm.addEventListener("submit", async (event) => {
      event.preventDefault();
      const body = JSON.stringify({ seconds: this.step.valueAsNumber });
      await report(done, () => this.api.send("POST", paths.advance, body));
      this.onAdvanced();
    });
    this.onAdvanced = () => {};
    return clockForm;
  }

  buildFaults() {
    this.faultList = el("ul", { id: "faults-list", "aria-live": "polite" });
    this.faultMethod = el("select", { id: "fault-method" },
      ...["GET", "PUT", "POST", "DELETE"].map((method) => el("option", { textContent: method })));
    this.faultPath = input("fault-path", { required: true, list: "fault-paths",
      autocomplete: "off" });
    this.faultStatus = input("fault-status", { type: "number", min: "100", max: "599",
      value: "503", required: true });
    this.faultCount = input("fault-count", { type: "number", min: "1", value: "1",
      required: true });
    const clear = button("faults-clear", "Clear rules", "button");
    const done = outcome("faults-outcome");
    const faultForm = form("faults-form", "Fault rules", this.faultList,
      field("Method", this.faultMethod), field("Path", this.faultPath),
      el("datalist", { id: "fault-paths" },
        ...faultPaths.map((path) => el("option", { value: path }))),
      field("Status", this.faultStatus), field("Count", this.faultCount),
      el("div", { className: "row" }, button("faults-add", "Add rule"), clear), done);
    faultForm.addEventListener("submit", (event) => {
      event.preventDefault();
      this.addFault(done);
    });
    clear.addEventListener("click", async () => {
      await report(done, () => this.api.send("DELETE", paths.faults));
      this.readFaults();
    });
    return faultForm;
  }

  // The rules in force stay as the host listed them; the new one is added at the end.
  async addFault(done) {
    const rule = JSON.stringify({ method: this.faultMethod.value, path: this.faultPath.value.trim(),
      status: this.faultStatus.valueAsNumber, count: this.faultCount.valueAsNumber });
    await report(done, async () => {
      const listed = await this.api.send("GET", paths.faults);
      return listed.ok ? this.api.send("PUT", paths.faults, appendToList(listed.text, rule))
        : listed;
    });
    this.readFaults();
  }

  // Reads every value the panel shows.
  readAll() {
    return Promise.all([this.readSession(), this.readSettings(), this.readReadiness(),
      this.readFaults()]);
  }

  // Follows a host event: a resource's new value, or a fault report (a rule's count went down).
  follow({ name, data }) {
    const uri = data?.uri;
    const value = data?.eventType === "Delete" ? null : data?.data;
    if (uri === paths.session)
      this.readSession();  // read as text: the event's copy went through a JavaScript number
    else if (uri === paths.settings)
      this.showSettings(value);
    else if (uri === paths.ready)
      this.showReadiness(value);
    else if (name === "dul-host-report")
      this.readFaults();
  }

  // The value at `path`, or null when there is none or the host cannot be reached.
  read(path) {
    return this.api.get(path).catch(() => null);
  }

  async readSession() {
    const session = await this.read(paths.session);
    setText(this.session, sessionText(session));
    if (session && !this.accountId.value) {
      this.accountId.value = String(session.accountId);
      this.summonerId.value = String(session.summonerId);
    }
  }

  async readSettings() {
    this.showSettings(await this.read(paths.settings));
  }

  showSettings(settings) {
    setText(this.settingsNow, settings ? `In force: ${JSON.stringify(settings)}`
      : "None set: the plugin uses its defaults");
    this.editorEnabled.checked = settings?.EditorEnabled === true;
    this.sendToGame.checked = settings?.SendItemSetsToGame === true;
    this.rateLimit.value = String(settings?.UploadRateLimit ?? 5);
  }

  async readReadiness() {
    this.showReadiness(await this.read(paths.ready));
  }

  showReadiness(ready) {
    setText(this.readyNow, ready === true ? "Ready" : "Not ready");
    this.ready.checked = ready === true;
  }

  async readFaults() {
    const rules = await this.read(paths.faults) ?? [];
    this.faultList.replaceChildren(...(rules.length ? rules.map(
      (rule) => el("li", { textContent: ruleText(rule) })) : [el("li", { textContent: "None" })]));
  }

  showClock(clock) {
    const virtual = clock.kind === "virtual";
    setText(this.clockNow, `${clock.seconds.toFixed(1)} s on the ${clock.kind} clock` +
      (virtual ? "" : " (start dul-host with --clock virtual to move it)"));
    this.step.disabled = !virtual;
    this.advance.disabled = !virtual;
  }
}
