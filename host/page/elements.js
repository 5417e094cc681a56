// Builds the side panel's elements. Text goes in as textContent only: the page's
// Content-Security-Policy, and the data shown, rule out markup.
export function el(tag, props = {}, ...children) {
  const node = document.createElement(tag);
  for (const [key, value] of Object.entries(props)) {
    if (/^(aria-|data-|role$|for$|list$)/.test(key))
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

// A labelled field: the label, then the control (given an id for the label to name).
export function field(label, control) {
  return el("div", { className: "field" }, el("label", { for: control.id, textContent: label }),
    control);
}

// The place next to a control where its action's answer appears.
export function outcome(id) {
  return el("output", { id, className: "outcome", role: "status", "aria-live": "polite" });
}
