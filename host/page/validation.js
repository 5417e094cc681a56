// Checks a set as typed into the editor before it is saved: every number in its type's range and
// every champion known to the game data. Problems are keyed by the field that holds them.
const ranges = {
  count: [0, 65535, "a count"],
  sortrank: [-2147483648, 2147483647, "a sort rank"],
  map: [-2147483648, 2147483647, "a map id"],
  champion: [-2147483648, 2147483647, "a champion id"],
  slot: [-32768, 32767, "a slot number"],
};

// Returns { set, problems }: the set with its numbers as numbers, and a Map of field key to reason.
export function checkSet(draft, champions) {
  const problems = new Map();
  const number = (value, kind, key) => {
    const [low, high, what] = ranges[kind];
    const text = String(value ?? "").trim();
    const parsed = /^-?\d+$/.test(text) ? Number(text) : NaN;
    if (parsed >= low && parsed <= high)
      return parsed;
    problems.set(key, `${what} is a whole number from ${low} to ${high}, not "${text}"`);
    return value;
  };
  const itemId = (value, key) => {
    if (!/^\d+$/.test(String(value ?? "")))
      problems.set(key, `an item id is a number, not "${value ?? ""}"`);
    return String(value ?? "");
  };
  // A part of the wrong shape is left as it is, for the host to refuse with its own message.
  const each = (value, check) => (Array.isArray(value) ? value.map(check) : value);

  const set = { ...draft };
  set.sortrank = number(draft.sortrank ?? 0, "sortrank", "sortrank");
  set.associatedMaps = each(draft.associatedMaps, (id) => number(id, "map", "maps"));
  set.associatedChampions = each(draft.associatedChampions,
    (id) => number(id, "champion", "champions"));
  const unknown = champions.loaded && Array.isArray(set.associatedChampions)
    ? set.associatedChampions.filter((id) => !champions.knows(id)) : [];
  if (unknown.length > 0)
    problems.set("champions", `the game data knows no champion ${unknown.join(", ")}`);
  set.blocks = each(draft.blocks, (block, b) => ({ ...block,
    items: each(block?.items, (item, i) => ({ ...item,
      id: itemId(item?.id, `blocks.${b}.items.${i}.id`),
      count: number(item?.count, "count", `blocks.${b}.items.${i}.count`) })) }));
  set.preferredItemSlots = each(draft.preferredItemSlots, (slot, s) => ({ ...slot,
    id: itemId(slot?.id, `slots.${s}.id`),
    preferredItemSlot: number(slot?.preferredItemSlot, "slot", `slots.${s}.slot`) }));
  return { set, problems };
}
