// The side panel: the synchronisation state and the simulated platform's controls.
import { HostApi } from "./api.js";
import { storedToken } from "./token.js";

const side = document.getElementById("side");
const token = storedToken(sessionStorage);
if (token) {
  side.hidden = false;
  side.dataset.ready = String(Boolean(new HostApi(token)));
}
