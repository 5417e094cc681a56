// Changes to an item-set document and its sets, as plain data; the page saves the result.
export function newSet(document) {
  return {
    uid: crypto.randomUUID(), title: "New set", mode: "any", map: "any", type: "custom",
    sortrank: nextRank(document), startedFrom: "blank", associatedChampions: [],
    associatedMaps: [], blocks: [newBlock()], preferredItemSlots: [],
  };
}

export function newBlock() {
  return { type: "", hideIfSummonerSpell: "", showIfSummonerSpell: "", items: [newItem()] };
}

export function newItem() {
  return { id: "", count: 1 };
}

export function newSlot() {
  return { id: "", preferredItemSlot: 0 };
}

export function duplicateOf(set, document) {
  return { ...structuredClone(set), uid: crypto.randomUUID(), title: `${set.title} (copy)`,
    startedFrom: "duplicate", sortrank: nextRank(document) };
}

function nextRank(document) {
  return Math.max(0, ...setsOf(document).map((set) => Number(set.sortrank) || 0)) + 1;
}

export function setsOf(document) {
  return Array.isArray(document?.itemSets) ? document.itemSets : [];
}

// Puts each set in place of the one with its uid, or at the end; a set without uid gets one.
export function mergeSets(document, sets) {
  const merged = [...setsOf(document)];
  for (const set of sets) {
    const uid = typeof set.uid === "string" && set.uid !== "" ? set.uid : crypto.randomUUID();
    const at = merged.findIndex((kept) => kept.uid === uid);
    merged.splice(at < 0 ? merged.length : at, at < 0 ? 0 : 1, { ...set, uid });
  }
  return { ...document, itemSets: merged };
}

export function withoutSet(document, uid) {
  return { ...document, itemSets: setsOf(document).filter((set) => set.uid !== uid) };
}

// Moves list[from] to position `to` of the same list, or of `into` when given.
export function moveEntry(list, from, to, into = list) {
  const [entry] = list.splice(from, 1);
  into.splice(Math.max(0, Math.min(to, into.length)), 0, entry);
}
