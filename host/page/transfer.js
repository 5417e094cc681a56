// Item sets to and from files, in the resource's own shape: one set, or the whole document.
import { parseKeepingIds, stringifyKeepingIds } from "./json_ids.js";

export function download(fileName, value) {
  const blob = new Blob([stringifyKeepingIds(value, 2) + "\n"], { type: "application/json" });
  const url = URL.createObjectURL(blob);
  const link = Object.assign(document.createElement("a"), { href: url, download: fileName });
  link.hidden = true;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}

export function fileNameFor(title) {
  const stem = title.toLocaleLowerCase().replace(/[^\p{L}\p{N}]+/gu, "-").replace(/^-|-$/g, "");
  return `item-set-${stem || "untitled"}.json`;
}

// The sets a file holds: a document's itemSets, or the one set it is. Throws a readable Error.
export async function setsInFile(file) {
  let value;
  try {
    value = parseKeepingIds(await file.text());
  } catch (error) {
    throw new Error(`${file.name} is not JSON: ${error.message}`);
  }
  if (Array.isArray(value?.itemSets) && value.itemSets.every(isObject))
    return value.itemSets;
  if (isObject(value) && !("itemSets" in value))
    return [value];
  throw new Error(`${file.name} holds neither an item set nor a document of item sets`);
}

function isObject(value) {
  return typeof value === "object" && value !== null && !Array.isArray(value);
}
