// The side panel's answers next to its controls. Answers are kept as text (HostApi.send): ids may
// exceed 2^53, so they are shown as the host wrote them, never rounded.
import { messageOf } from "./api.js";

// One line for an answer: the host's message for an error, the body for a success.
export function describe(reply) {
  if (reply.ok)
    return reply.text ? `${reply.status}: ${reply.text}` : `${reply.status}: done`;
  return `Error ${reply.status}: ${messageOf(reply.text) ?? reply.text}`;
}

// Runs `call` (resolving to an answer of HostApi.send) and writes its line to `output`; a failure to
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
