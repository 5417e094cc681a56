// Small helpers that build the page's elements from data, never from HTML text: the page's
// Content-Security-Policy, and the data shown, rule out markup.

// `props` are element properties, except ARIA and data attributes, "role", "for" and "list",
// which are set as attributes.
export function el(tag, props = {}, ...children) {
  const node = document.createElement(tag);
  for (const [key, value] of Object.entries(props)) {
    if (/^(aria-|data-)|^(role|for|list)$/.test(key))
      node.setAttribute(key, value);
    else
      node[key] = value;
  }
  node.append(...children.filter((child) => child !== null && child !== undefined));
  return node;
}

// Sets a node's text only when it changes, so a live region announces changes, not re-reads.
export function setText(node, text) {
  if (node.textContent !== text)
    node.textContent = text;
}

let nextId = 0;

// A labelled input: <div class="field"><label>text</label><input></div>, the two tied by id.
export function field(text, input, error) {
  input.id ||= `field-${++nextId}`;
  return el("div", { className: "field" }, el("label", { htmlFor: input.id, textContent: text }),
    input, error);
}

// `label`, when given, is the button's accessible name (for a symbol such as "✕").
export function button(text, onClick, { label, ...rest } = {}) {
  const named = label ? { "aria-label": label } : {};
  const node = el("button", { type: "button", textContent: text, ...named, ...rest });
  node.addEventListener("click", onClick);
  return node;
}

// A reason shown next to the control it is about, and tied to it for screen readers.
export function errorFor(control, reason) {
  if (!reason)
    return null;
  const note = el("span", { className: "field-error", id: `error-${++nextId}`, textContent: reason });
  control.setAttribute("aria-invalid", "true");
  control.setAttribute("aria-describedby", note.id);
  return note;
}

// The place next to a control where its action's answer appears.
export function outcome(id) {
  return el("output", { id, className: "outcome", role: "status", "aria-live": "polite" });
}
