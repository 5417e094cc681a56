// Calls to dul-host, each with the token; failures carry the host's own message.
import { parseKeepingIds, stringifyKeepingIds } from "./json_ids.js";

export class HostError extends Error {
  constructor(status, message) {
    super(message);
    this.status = status;
  }
}

export class HostApi {
  constructor(token) {
    this.headers = { Authorization: `Bearer ${token}` };
  }

  async getJson(path, signal) {
    return JSON.parse(await this.#call(path, { signal }) || "null");
  }

  // Like getJson, with summonerId, accountId and timestamp kept exact as decimal text.
  async getExact(path) {
    return parseKeepingIds(await this.#call(path, {}) || "null");
  }

  async put(path, value) {
    await this.#call(path, {
      method: "PUT",
      headers: { ...this.headers, "Content-Type": "application/json" },
      body: stringifyKeepingIds(value),
    });
  }

  async #call(path, options) {
    const response = await fetch(path, { headers: this.headers, cache: "no-store", ...options });
    const text = await response.text();
    if (!response.ok)
      throw new HostError(response.status, messageOf(text) ?? `${path} answered ${response.status}`);
    return text;
  }

  // The event stream as a fetch response: EventSource cannot send the Authorization header.
  async openEvents(signal) {
    const response = await fetch("/dul-host/v1/events", { headers: this.headers, signal });
    if (!response.ok)
      throw new HostError(response.status, `the event stream answered ${response.status}`);
    return response.body;
  }
}

function messageOf(text) {
  try {
    return JSON.parse(text)?.message;
  } catch {
    return undefined;
  }
}

export function setsPath(summonerId) {
  return `/dul-item-sets/v1/item-sets/${encodeURIComponent(summonerId)}/sets`;
}
