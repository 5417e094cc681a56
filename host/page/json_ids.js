// Summoner and account ids and document versions are 64-bit: JSON.parse would round those above
// 2^53, so inside the page they are decimal text, and on the wire plain JSON numbers again.
const asNumber = /"(summonerId|accountId|timestamp)"\s*:\s*(\d+)/g;
const asText = /"(summonerId|accountId|timestamp)":( ?)"(\d+)"/g;

// A quote after a letter always ends a string, so these patterns only ever meet real keys.
export function parseKeepingIds(text) {
  return JSON.parse(text.replace(asNumber, '"$1":"$2"'));
}

export function stringifyKeepingIds(value, space) {
  return JSON.stringify(value, null, space).replace(asText, '"$1":$2$3');
}
