// The editor of one item set: its fields, champions, maps, blocks of items and preferred slots.
// It edits a copy; onSave(set) is handed the checked set and may throw the host's refusal.
import { button, el, errorFor, field } from "./dom.js";
import { moveEntry, newBlock, newItem, newSlot } from "./model.js";
import { checkSet } from "./validation.js";

export class SetEditor {
  constructor(section, { champions, onSave, onClose, onExport, announce }) {
    Object.assign(this, { section, champions, onSave, onClose, onExport, announce });
    this.draft = null;
    this.problems = new Map();
    this.dragging = null;
  }

  open(set, heading) {
    Object.assign(this, { draft: structuredClone(set), heading, problems: new Map(), alias: "",
      refusal: "" });
    this.section.hidden = false;
    this.render("title");
  }

  close() {
    this.draft = null;
    this.section.hidden = true;
    this.section.replaceChildren();
  }

  render(focusKey) {
    this.section.replaceChildren(
      el("h2", { id: "editor-heading", textContent: this.heading }),
      this.#details(), this.#championPart(), this.#blockPart(), this.#slotPart(), this.#actions());
    if (focusKey)
      this.section.querySelector(`[data-key="${focusKey}"]`)?.focus();
  }

  async save() {
    this.#takeAlias();
    const aliasProblem = this.problems.get("champion-alias");
    const { set, problems } = checkSet(this.draft, this.champions);
    if (aliasProblem)
      problems.set("champion-alias", aliasProblem);
    this.problems = problems;
    this.refusal = "";
    if (problems.size > 0) {
      this.render([...problems.keys()][0]);
      this.announce(`Not saved: ${problems.size} field(s) need a change, each one says why.`);
      return;
    }
    try {
      await this.onSave(set);
      this.draft = set;
      this.render("save");
    } catch (error) {
      this.showRefusal(error.message);
    }
  }

  // The host's reason goes next to the save button, and next to the field it names when the
  // message quotes a field and its value ("Value 70000 for 'count' ...").
  showRefusal(message) {
    this.refusal = message;
    const [, value, name] = message.match(/Value (\S+) for '(\w+)'/) ?? [];
    const culprit = [...this.section.querySelectorAll(`[data-name="${name}"]`)]
      .find((input) => input.value.trim() === value);
    this.problems = new Map(culprit ? [[culprit.dataset.key, message]] : []);
    this.render(culprit ? culprit.dataset.key : "save");
  }

  // --- parts of the form

  #details() {
    const d = this.draft;
    const text = (label, key, name = key) => this.#input(label, key, d[name], (value) => {
      d[name] = value;
    }, { name });
    return el("div", { className: "editor-fields" },
      text("Title", "title"), text("Type", "type"), text("Mode", "mode"), text("Map", "map"),
      text("Started from", "startedFrom"),
      this.#input("Sort rank", "sortrank", d.sortrank, (value) => { d.sortrank = value; },
        { name: "sortrank", numeric: true }),
      this.#input("Map ids (comma-separated)", "maps", (d.associatedMaps ?? []).join(", "),
        (value) => { d.associatedMaps = value.split(/[\s,]+/).filter(Boolean); },
        { name: "associatedMaps", numeric: true }));
  }

  #championPart() {
    const ids = this.draft.associatedChampions ??= [];
    const chips = ids.map((id, c) => el("li", {}, this.champions.aliasOf(id), button("✕", () => {
      ids.splice(c, 1);
      this.render(ids.length > 0 ? `champion-${Math.min(c, ids.length - 1)}` : "champion-alias");
    }, { label: `Remove champion ${this.champions.aliasOf(id)}`, "data-key": `champion-${c}` })));
    const list = ids.length > 0
      ? el("ul", { className: "chips", "aria-label": "Champions of this set" }, ...chips)
      : el("p", { className: "hint", textContent: "No champion picked: the set is for all of them." });
    const alias = this.#input("Add a champion by alias", "champion-alias", this.alias, (value) => {
      this.alias = value;
    }, { list: "champion-aliases" });
    alias.querySelector("input").addEventListener("keydown", (event) => {
      if (event.key === "Enter")
        this.#addAlias();
    });
    return el("fieldset", { className: "champions" }, el("legend", { textContent: "Champions" }),
      list, this.#problemNote("champions", list),
      el("div", { className: "row" }, alias, button("Add champion", () => this.#addAlias())),
      el("datalist", { id: "champion-aliases" },
        ...this.champions.aliases.map((name) => el("option", { value: name }))));
  }

  #addAlias() {
    this.#takeAlias();
    this.render("champion-alias");
  }

  // Turns the alias typed into a champion of the set, or into a problem beside its input.
  #takeAlias() {
    this.problems.delete("champion-alias");
    const alias = this.alias.trim();
    if (alias === "")
      return;
    const id = this.champions.idOf(alias);
    if (id === undefined) {
      this.problems.set("champion-alias", `the game data knows no champion "${alias}"`);
      return;
    }
    if (!this.draft.associatedChampions.includes(id))
      this.draft.associatedChampions.push(id);
    this.alias = "";
    this.announce(`Added ${this.champions.aliasOf(id)}.`);
  }

  #blockPart() {
    const blocks = this.draft.blocks ??= [];
    return el("fieldset", { className: "blocks-part" }, el("legend", { textContent: "Blocks" }),
      el("ol", { className: "blocks" }, ...blocks.map((block, b) => this.#block(block, b))),
      button("Add block", () => {
        blocks.push(newBlock());
        this.render(`blocks.${blocks.length - 1}.type`);
      }, { "data-key": "add-block" }));
  }

  #block(block, b) {
    const blocks = this.draft.blocks;
    const items = block.items ??= [];
    const name = `block ${b + 1}`;
    const li = el("li", { className: "block", "data-index": b },
      el("div", { className: "row block-head" }, this.#grip({ block: b }),
        this.#input(`Block ${b + 1} title`, `blocks.${b}.type`, block.type, (value) => {
          block.type = value;
        }, { name: "type" }),
        ...this.#mover(blocks, b, name, `block-${b}`, (to) => `block-${to}`)),
      el("ol", { className: "items" }, ...items.map((item, i) => this.#item(block, b, item, i))),
      button("Add item", () => {
        items.push(newItem());
        this.render(`blocks.${b}.items.${items.length - 1}.id`);
      }, { label: `Add an item to ${name}`, "data-key": `block-${b}-add` }));
    li.addEventListener("dragover", (event) => {
      if (this.dragging)
        event.preventDefault();
    });
    li.addEventListener("drop", (event) => this.#drop(event, b));
    return li;
  }

  #item(block, b, item, i) {
    const key = `blocks.${b}.items.${i}`;
    const name = `item ${i + 1} of block ${b + 1}`;
    return el("li", { className: "item row", "data-index": i }, this.#grip({ block: b, item: i }),
      this.#input("Item id", `${key}.id`, item.id, (value) => { item.id = value; },
        { name: "id", numeric: true }),
      this.#input("Count", `${key}.count`, item.count, (value) => { item.count = value; },
        { name: "count", numeric: true }),
      ...this.#mover(block.items, i, name, `item-${b}-${i}`, (to) => `item-${b}-${to}`));
  }

  // Up, down and remove buttons for entry `at` of `list`; focus follows the moved entry.
  #mover(list, at, name, key, keyAt) {
    const move = (step, direction) => () => {
      const to = at + step;
      if (to < 0 || to >= list.length) {
        this.announce(`The ${name} is already ${direction === "up" ? "first" : "last"}.`);
        return;
      }
      moveEntry(list, at, to);
      this.render(`${keyAt(to)}-${direction}`);
      this.announce(`Moved the ${name} ${direction}.`);
    };
    return [
      button("↑", move(-1, "up"), { label: `Move ${name} up`, "data-key": `${key}-up` }),
      button("↓", move(1, "down"), { label: `Move ${name} down`, "data-key": `${key}-down` }),
      button("✕", () => {
        list.splice(at, 1);
        this.render("add-block");
        this.announce(`Removed the ${name}.`);
      }, { label: `Remove ${name}`, "data-key": `${key}-remove` }),
    ];
  }

  // A handle to drag a block or an item with the mouse; the buttons beside it do the same.
  #grip(what) {
    const grip = el("span", { className: "grip", draggable: true, textContent: "⠿",
      title: "Drag to move", "aria-hidden": "true" });
    grip.addEventListener("dragstart", (event) => {
      this.dragging = what;
      event.dataTransfer.effectAllowed = "move";
      event.dataTransfer.setData("text/plain", JSON.stringify(what));
    });
    grip.addEventListener("dragend", () => { this.dragging = null; });
    return grip;
  }

  // A block dropped on a block takes its place; an item dropped on an item takes its place, on
  // a block anywhere else goes to its end.
  #drop(event, b) {
    const from = this.dragging;
    if (!from)
      return;
    event.preventDefault();
    event.stopPropagation();
    this.dragging = null;
    const blocks = this.draft.blocks;
    if (from.item === undefined) {
      moveEntry(blocks, from.block, b);
    } else {
      const target = event.target.closest?.(".item");
      const inBlock = target?.closest(".block") === event.currentTarget;
      const to = inBlock ? Number(target.dataset.index) : blocks[b].items.length;
      moveEntry(blocks[from.block].items, from.item, to, blocks[b].items);
    }
    this.render();
    this.announce("Moved.");
  }

  #slotPart() {
    const slots = this.draft.preferredItemSlots ??= [];
    return el("fieldset", { className: "slots" }, el("legend", { textContent: "Preferred item slots" }),
      el("ol", { className: "items" }, ...slots.map((slot, s) => el("li", { className: "row" },
        this.#input("Item id", `slots.${s}.id`, slot.id, (value) => { slot.id = value; },
          { name: "id", numeric: true }),
        this.#input("Slot", `slots.${s}.slot`, slot.preferredItemSlot, (value) => {
          slot.preferredItemSlot = value;
        }, { name: "preferredItemSlot", numeric: true }),
        button("✕", () => {
          slots.splice(s, 1);
          this.render("add-slot");
        }, { label: `Remove preferred slot ${s + 1}` })))),
      button("Add slot", () => {
        slots.push(newSlot());
        this.render(`slots.${slots.length - 1}.id`);
      }, { "data-key": "add-slot" }));
  }

  #actions() {
    const save = button("Save set", () => this.save(), { className: "primary", "data-key": "save" });
    const refusal = this.refusal
      ? el("p", { className: "field-error", id: "save-error", textContent: `Not saved: ${this.refusal}` })
      : null;
    if (refusal)
      save.setAttribute("aria-describedby", refusal.id);
    return el("div", { className: "editor-actions" }, save,
      button("Export set", () => this.onExport(this.draft)),
      button("Close", () => this.onClose()), refusal);
  }

  // --- inputs

  #input(label, key, value, onValue, { name, numeric = false, list } = {}) {
    const input = el("input", { type: "text", value: value ?? "", autocomplete: "off",
      "data-key": key, ...(name && { "data-name": name }), ...(numeric && { inputMode: "numeric" }),
      ...(list && { list }) });
    input.addEventListener("input", () => onValue(input.value));
    return field(label, input, this.#problemNote(key, input));
  }

  #problemNote(key, control) {
    return errorFor(control, this.problems.get(key));
  }
}
