// Follows dul-host's Server-Sent Events over a fetch stream, calling onEvent(name, data) for
// each event and onState("open" | "closed") as the stream comes and goes; it reconnects until
// `signal` aborts.
const retryMilliseconds = 2000;

export async function followEvents(api, { onEvent, onState, signal }) {
  while (!signal.aborted) {
    try {
      const body = await api.openEvents(signal);
      onState("open");
      await readEvents(body, onEvent);
    } catch (error) {
      if (signal.aborted)
        return;
      if (error?.status === 401)
        throw error;
    }
    onState("closed");
    await new Promise((resolve) => setTimeout(resolve, retryMilliseconds));
  }
}

async function readEvents(body, onEvent) {
  const reader = body.pipeThrough(new TextDecoderStream()).getReader();
  let pending = "";
  for (;;) {
    const { value, done } = await reader.read();
    if (done)
      return;
    pending += value.replaceAll("\r\n", "\n");
    let end;
    while ((end = pending.indexOf("\n\n")) >= 0) {
      const block = pending.slice(0, end);
      pending = pending.slice(end + 2);
      dispatch(parseBlock(block), onEvent);
    }
  }
}

export function parseBlock(block) {
  const event = { name: "message", data: [] };
  for (const line of block.split("\n")) {
    if (line.startsWith(":"))
      continue;
    const colon = line.indexOf(":");
    const field = colon < 0 ? line : line.slice(0, colon);
    const value = colon < 0 ? "" : line.slice(colon + 1).replace(/^ /, "");
    if (field === "event")
      event.name = value;
    else if (field === "data")
      event.data.push(value);
  }
  return event;
}

function dispatch(event, onEvent) {
  if (event.data.length === 0)
    return;
  let data;
  try {
    data = JSON.parse(event.data.join("\n"));
  } catch {
    return;
  }
  onEvent(event.name, data);
}
