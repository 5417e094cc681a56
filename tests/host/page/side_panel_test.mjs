// The side panel in headless Chromium against dul-host with the virtual clock: signing out and
// in, the settings, the clock and the fault rules through its controls, and the synchronisation
// state it shows checked against the host and the files on disk.
import assert from "node:assert/strict";
import { existsSync } from "node:fs";
import path from "node:path";
import { after, before, test } from "node:test";

import { PageSession } from "./page_support.mjs";

const session = new PageSession();
const setsPath = "/dul-item-sets/v1/item-sets/42/sets";
const sets = (title) => ({
  timestamp: 0, accountId: 0,
  itemSets: [{ uid: "", title, mode: "CLASSIC", associatedMaps: [11], associatedChampions: [3],
    blocks: [{ type: "Start", items: [{ id: "1001", count: 1 }] }] }],
});

before(() => session.start());
after(() => session.stop());

async function openPanel(viewport) {
  const { page } = await session.openPage(undefined, viewport);
  await page.locator('#side[data-ready="true"]').waitFor();
  await page.locator('#live[data-state="open"]').waitFor();
  return page;
}

const textOf = (page, selector) => page.locator(selector).innerText();
const waitForText = (page, selector, pattern) => page.waitForFunction(
  ([selector, source]) => new RegExp(source).test(document.querySelector(selector)?.textContent),
  [selector, pattern.source]);

async function advance(page, seconds) {
  await page.fill("#clock-seconds", String(seconds));
  await page.click("#clock-advance");
  await waitForText(page, "#clock-outcome", /callbacksRun/);
}

test("the panel signs out and in, the list follows, and every control is labelled", async () => {
  await session.call("PUT", setsPath, sets("Top lane"));
  const page = await openPanel();
  await page.locator("#sets tbody tr").first().waitFor();
  await page.click("#session-sign-out");
  await waitForText(page, "#status", /Nobody is signed in/);
  assert.equal(await page.locator("#sets tbody tr").count(), 0, "the signed-out player's sets");
  assert.equal(await textOf(page, "#session-now"), "Nobody signed in (no session)");

  await page.fill("#session-account", "1001");
  await page.fill("#session-summoner", "42");
  await page.press("#session-summoner", "Enter");  // the keyboard submits as the button does
  await page.locator("#sets tbody tr").first().waitFor();
  await waitForText(page, "#session-now", /^SUCCEEDED: account 1001, summoner 42$/);
  assert.match(await textOf(page, "#session-outcome"), /^20\d/);

  const unlabelled = await page.$$eval("#side input, #side select, #side button",
    (controls) => controls.filter((c) => !c.labels?.length && !c.textContent.trim()).map((c) => c.id));
  assert.deepEqual(unlabelled, []);
  await session.screenshot(page, "side-panel");

  const narrow = await openPanel({ width: 800, height: 900 });
  const [main, side] = await Promise.all(["main", "#side"].map((s) => narrow.locator(s).boundingBox()));
  assert.ok(side.y >= main.y + main.height, "below 60rem the panel follows the list");
  await session.screenshot(narrow, "side-panel-narrow");
});

test("the sync panel shows the store, the next check, the game's files and a failed store",
  async () => {
    const page = await openPanel();
    await page.check("#settings-editor");
    await page.check("#settings-send");
    await page.fill("#settings-rate", "5");
    await page.click("#settings-apply");
    await waitForText(page, "#settings-outcome", /^20\d/);
    const settings = await session.call("GET", "/dul-platform-config/v1/namespaces/ItemSets");
    assert.deepEqual(settings, { EditorEnabled: true, SendItemSetsToGame: true, UploadRateLimit: 5 });

    await session.call("PUT", setsPath, sets("Mid lane"));
    await advance(page, 6);
    const stored = await session.call("GET", "/dul-player-preferences/v1/preference/ItemSets");
    await waitForText(page, "#sync-stored", new RegExp(`^modified ${stored.modified} \\(ItemSets`));
    // The plugin times ticks on its own clock: the next is due 5 s after the last, less its run.
    assert.match(await textOf(page, "#sync-next"), /^in [34]\.\d s, at (9\.\d|10\.0) s on the virtual clock$/);
    assert.match(await textOf(page, "#sync-save"), /^1 set, \d+ metrics, at /);
    const files = await page.locator("#sync-files td.path").allTextContents();
    assert.ok(files.includes("Champions/Caldrith/Recommended/ZORV_ItemSet_1.json"), files.join());
    const config = path.join(session.state, "install/Game/Config");
    assert.deepEqual(files.filter((file) => !existsSync(path.join(config, file))), []);
    await session.screenshot(page, "side-panel-sync");

    await page.selectOption("#fault-method", "PUT");
    await page.fill("#fault-path", "/dul-player-preferences/v1/preference");
    await page.fill("#fault-status", "503");
    await page.click("#faults-add");
    await waitForText(page, "#faults-list",
      /^PUT \/dul-player-preferences\/v1\/preference → status 503, 1 more$/);
    await session.call("PUT", setsPath, sets("Bottom lane"));
    await advance(page, 5);
    await waitForText(page, "#sync-failed", /^503: .+, at /);
    await waitForText(page, "#faults-list", /^None$/);  // the rule was spent
    assert.match(await textOf(page, "#sync-stored"), new RegExp(`^modified ${stored.modified} `));
    await session.screenshot(page, "side-panel-fault");
  });

test("ids beyond 2^53 reach the host and come back digit for digit", async () => {
  const page = await openPanel();
  await page.fill("#session-account", "18446744073709551557");
  await page.fill("#session-summoner", "9007199254740993");
  await page.click("#session-sign-in");
  await waitForText(page, "#session-now",
    /^SUCCEEDED: account 18446744073709551557, summoner 9007199254740993$/);
  assert.match(await textOf(page, "#session-outcome"), /18446744073709551557/);
});
