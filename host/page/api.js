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

  // The answer as it came: { ok, status, text }. `bodyText` goes as JSON.
  async send(method, path, bodyText) {
    const headers = { ...this.headers };
    if (bodyText !== undefined)
      headers["Content-Type"] = "application/json";
    const response = await fetch(path, { method, headers, body: bodyText, cache: "no-store" });
    return { ok: response.ok, status: response.status, text: await response.text() };
  }

  // The body read with summonerId, accountId and timestamp kept exact as decimal text; a refusal
  // is thrown as a HostError with the host's message.
  async get(path) {
    return parseKeepingIds(await this.#succeeded("GET", path) || "null");
  }

  async put(path, value) {
    await this.#succeeded("PUT", path, stringifyKeepingIds(value));
  }

  async #succeeded(method, path, bodyText) {
    const reply = await this.send(method, path, bodyText);
    if (!reply.ok)
      throw new HostError(reply.status, messageOf(reply.text) ?? `${path} answered ${reply.status}`);
    return reply.text;
  }

  // The event stream as a fetch response: EventSource cannot send the Authorization header.
  async openEvents(signal) {
    const response = await fetch("/dul-host/v1/events", { headers: this.headers, signal });
    if (!response.ok)
      throw new HostError(response.status, `the event stream answered ${response.status}`);
    return response.body;
  }
}

// The host's message in an error body, or undefined when the body has none.
export function messageOf(text) {
  try {
    return JSON.parse(text)?.message;
  } catch {
    return undefined;
  }
}

export function setsPath(summonerId) {
  return `/dul-item-sets/v1/item-sets/${encodeURIComponent(summonerId)}/sets`;
}
