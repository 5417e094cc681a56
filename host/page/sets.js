// What the list shows of an item-set document: one row per set, in sortrank order.
export function rowsOf(document) {
  const sets = Array.isArray(document?.itemSets) ? document.itemSets : [];
  return sets
    .map((set, position) => ({ set, position }))
    .sort((a, b) => (a.set.sortrank ?? 0) - (b.set.sortrank ?? 0) || a.position - b.position)
    .map(({ set }) => rowOf(set));
}

function rowOf(set) {
  const blocks = Array.isArray(set.blocks) ? set.blocks : [];
  return {
    uid: set.uid ?? "",
    title: set.title ?? "",
    type: set.type ?? "custom",
    mode: set.mode ?? "any",
    map: set.map ?? "any",
    sortrank: set.sortrank ?? 0,
    champions: (set.associatedChampions ?? []).join(", "),
    blocks: blocks.length,
    items: blocks.reduce((sum, block) => sum + (block.items?.length ?? 0), 0),
  };
}

export function matchesTitle(row, filter) {
  return row.title.toLocaleLowerCase().includes(filter.trim().toLocaleLowerCase());
}
