// The side panel: the synchronisation state and the simulated platform's controls, following the
// host events editor.js passes on as "dul-host-event".
import { HostApi } from "./api.js";
import { PlatformPanel } from "./platform_panel.js";
import { SyncPanel } from "./sync_panel.js";
import { storedToken } from "./token.js";

const side = document.getElementById("side");
const token = storedToken(sessionStorage);
if (token) {
  const api = new HostApi(token);
  const sync = new SyncPanel(api);
  const platform = new PlatformPanel(api);
  sync.onView = (view) => platform.showClock(view.clock);
  platform.onAdvanced = () => sync.refresh();
  side.append(sync.section, platform.section);
  side.hidden = false;
  document.addEventListener("dul-host-event", ({ detail }) => {
    sync.refresh();
    platform.follow(detail);
  });
  Promise.all([sync.refresh(), platform.readAll()]).then(() => {
    side.dataset.ready = "true";
  });
}
