// Calls to dul-host, each with the token; failures carry the host's own message.
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
    const response = await fetch(path, { headers: this.headers, signal, cache: "no-store" });
    const text = await response.text();
    const body = text ? JSON.parse(text) : null;
    if (!response.ok)
      throw new HostError(response.status, body?.message ?? `${path} answered ${response.status}`);
    return body;
  }

  // The event stream as a fetch response: EventSource cannot send the Authorization header.
  async openEvents(signal) {
    const response = await fetch("/dul-host/v1/events", { headers: this.headers, signal });
    if (!response.ok)
      throw new HostError(response.status, `the event stream answered ${response.status}`);
    return response.body;
  }
}

export function setsPath(summonerId) {
  return `/dul-item-sets/v1/item-sets/${encodeURIComponent(summonerId)}/sets`;
}
