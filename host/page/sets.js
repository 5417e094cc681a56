import { setsOf } from "./model.js";

// What the list shows of an item-set document: one row per set, in sortrank order.
export function rowsOf(document, champions) {
  return setsOf(document)
    .map((set, position) => ({ set, position }))
    .sort((a, b) => (a.set.sortrank ?? 0) - (b.set.sortrank ?? 0) || a.position - b.position)
    .map(({ set }) => rowOf(set, champions));
}

function rowOf(set, champions) {
  const blocks = Array.isArray(set.blocks) ? set.blocks : [];
  return {
    uid: set.uid ?? "",
    title: set.title ?? "",
    type: set.type ?? "custom",
    mode: set.mode ?? "any",
    map: set.map ?? "any",
    sortrank: set.sortrank ?? 0,
    champions: (set.associatedChampions ?? []).map((id) => champions.aliasOf(id)),
    blocks: blocks.length,
    items: blocks.reduce((sum, block) => sum + (block.items?.length ?? 0), 0),
  };
}

// A row matches when its title or one of its champions' aliases holds the filter text.
export function matchesFilter(row, filter) {
  const wanted = filter.trim().toLocaleLowerCase();
  return [row.title, ...row.champions].some((text) => text.toLocaleLowerCase().includes(wanted));
}

// "1 set", "3 sets"; a count the host did not give reads "?".
export function setCount(count) {
  return String(count) === "1" ? "1 set" : `${count ?? "?"} sets`;
}
