// The side panel's calls to dul-host. Answers are kept as text, read with json_ids.js: ids may
// exceed 2^53, so they are shown and sent as the host wrote them, never rounded.
export async function send(api, method, path, bodyText) {
  const headers = { ...api.headers };
  if (bodyText !== undefined)
    headers["Content-Type"] = "application/json";
  const response = await fetch(path, { method, headers, body: bodyText, cache: "no-store" });
  return { ok: response.ok, status: response.status, text: await response.text() };
}

// One line for an answer: the host's message for an error, the body for a success.
export function describe(reply) {
  if (reply.ok)
    return reply.text ? `${reply.status}: ${reply.text}` : `${reply.status}: done`;
  let message = reply.text;
  try {
    message = JSON.parse(reply.text).message ?? message;
  } catch {
    // not JSON: the text as it came
  }
  return `Error ${reply.status}: ${message}`;
}

// Runs `call` (resolving to an answer of send) and writes its line to `output`; a failure to
// reach the host is written there too. Resolves with the answer, or null.
export async function report(output, call) {
  output.textContent = "…";
  try {
    const reply = await call();
    output.textContent = describe(reply);
    output.dataset.ok = String(reply.ok);
    return reply;
  } catch (error) {
    output.textContent = `Could not reach dul-host: ${error.message}`;
    output.dataset.ok = "false";
    return null;
  }
}
