// Small helpers that build elements from data, never from HTML text.
export function el(tag, { attrs = {}, data = {}, ...properties } = {}, ...children) {
  const node = Object.assign(document.createElement(tag), properties);
  for (const [name, value] of Object.entries(attrs))
    node.setAttribute(name, value);
  Object.assign(node.dataset, data);
  node.append(...children.filter((child) => child !== null && child !== undefined));
  return node;
}

let nextId = 0;

// A labelled input: <div class="field"><label>text</label><input></div>, the two tied by id.
export function field(text, input, error) {
  input.id ||= `field-${++nextId}`;
  return el("div", { className: "field" }, el("label", { htmlFor: input.id, textContent: text }),
    input, error);
}

export function button(text, onClick, { label, ...rest } = {}) {
  const node = el("button", { type: "button", textContent: text, ...rest });
  if (label)
    node.setAttribute("aria-label", label);
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
