// The editor page in headless Chromium against a real dul-host: the list, live updates, editing,
// files in and out, a narrow window and the page without a token. Usage: node --test
// editor_page_test.mjs, with DUL_BUILD set to the build folder (dul-host, and playwright-core
// under npm-page/, which install_playwright.mjs puts there).
import assert from "node:assert/strict";
import { existsSync, readFileSync } from "node:fs";
import path from "node:path";
import { after, before, test } from "node:test";

import { PageSession } from "./page_support.mjs";

const sets = (...titles) => ({
  timestamp: 0, accountId: 0,
  itemSets: titles.map(([title, sortrank, blocks, champions = [3, 7]]) => ({
    uid: "", title, sortrank, mode: "CLASSIC", map: "SR", type: "custom",
    associatedMaps: [11], associatedChampions: champions,
    blocks: blocks.map((count) => ({
      type: "Block", items: Array.from({ length: count }, (_, i) => ({ id: String(1001 + i), count: 1 })),
    })),
  })),
});

const session = new PageSession();
let summonerId;
const setsPath = () => `/dul-item-sets/v1/item-sets/${summonerId}/sets`;

const putSets = (document) => session.call("PUT", setsPath(), document);

const titles = (page) => page.locator("#sets tbody tr td:nth-child(2)").allTextContents();

before(async () => {
  await session.start();
  summonerId = (await session.call("GET", "/dul-login/v1/session")).summonerId;
});

after(() => session.stop());

test("the page shows the empty state, then the sets PUT, in sortrank order, filtered by title " +
  "or champion alias", async () => {
    const { page, requested } = await session.openPage();
    await page.locator("#empty").waitFor();
    assert.match(await page.locator("#empty").innerText(), /Press New set/);
    assert.equal(new URL(page.url()).hash, "", "the token stays in the address bar");
    const kept = await page.evaluate(() => sessionStorage.getItem("dul-host-token"));
    assert.equal(kept, session.host.token);

    await putSets(sets(["Support", 2, [2], [12]], ["Jungle start", 1, [2, 3]], ["Jungle late", 3, []]));
    await page.reload();  // the token is kept for the tab
    await page.locator("#sets tbody tr").nth(2).waitFor();
    assert.deepEqual(await titles(page), ["Jungle start", "Support", "Jungle late"]);
    await page.getByText("Caldrith, Gorrath").first().waitFor();  // aliases, once the summary is read
    const first = await page.locator("#sets tbody tr").first().locator("td").allTextContents();
    assert.deepEqual(first.slice(0, 8),
      ["1", "Jungle start", "custom", "CLASSIC", "SR", "Caldrith, Gorrath", "2", "5"]);
    await session.screenshot(page, "list");

    await page.fill("#filter", "JUNGLE");
    assert.deepEqual(await titles(page), ["Jungle start", "Jungle late"]);
    await page.fill("#filter", "lumi");
    assert.deepEqual(await titles(page), ["Support"]);
    assert.equal(await page.locator("#count").innerText(), "1 of 3 sets match the filter");
    assert.ok(requested.every((url) => !url.href.includes(session.host.token)),
      "a URL held the token");
  });

test("a second page sees a PUT at once, through the event stream", async () => {
  const { page } = await session.openPage();
  await page.locator('#live[data-state="open"]').waitFor();
  await page.locator("#sets tbody tr").first().waitFor();
  await putSets(sets(["Mid lane", 0, [1]]));
  await page.waitForFunction(
    () => document.querySelector("#sets tbody td:nth-child(2)")?.textContent === "Mid lane");
  assert.deepEqual(await titles(page), ["Mid lane"]);
  await session.screenshot(page, "live");
});

const storedSet = async (title) => (await session.call("GET", setsPath()))
  .itemSets.find((set) => set.title === title);
const editorInput = (page, key) => page.locator(`#set-editor [data-key="${key}"]`);
const fillEditor = async (page, values) => {
  for (const [key, value] of Object.entries(values))
    await editorInput(page, key).fill(value);
};
const statusIs = (page, text) => page.waitForFunction(
  (wanted) => document.querySelector("#status").textContent.startsWith(wanted), text);
const saveSet = async (page, title) => {
  await page.click("text=Save set");
  await statusIs(page, `Saved “${title}”`);
};

test("a set made, reordered, checked and saved through the editor reaches the resource and the " +
  "cache file; undo puts the previous save back; duplicate and delete act on the list", async () => {
  const { page } = await session.openPage();
  await page.locator("#sets tbody tr").first().waitFor();
  await page.click("#new-set");
  await page.click("text=Add item");
  await page.click("text=Add item");
  await page.click("text=Add block");
  await fillEditor(page, { title: "Top lane", "blocks.0.type": "Start", "blocks.0.items.0.id": "1001",
    "blocks.0.items.0.count": "2", "blocks.0.items.1.id": "2003", "blocks.0.items.1.count": "3",
    "blocks.0.items.2.id": "3006", "blocks.0.items.2.count": "70000", "blocks.1.type": "Core",
    "blocks.1.items.0.id": "3031", maps: "1, 11, 12", sortrank: "x" });
  await page.getByLabel("Move item 3 of block 1 up").click();
  assert.equal(await page.evaluate(() => document.activeElement.getAttribute("aria-label")),
    "Move item 2 of block 1 up", "focus follows the moved item");
  await page.locator(".block").nth(1).locator(".grip").first().dragTo(page.locator(".block").first());
  await editorInput(page, "champion-alias").fill("caldrith");
  await editorInput(page, "champion-alias").press("Enter");
  await editorInput(page, "champion-alias").fill("Nobody");
  await page.click("text=Save set");

  // Nothing is sent while a field is wrong; each reason stands next to its field.
  const described = async (key) =>
    page.locator(`#${await editorInput(page, key).getAttribute("aria-describedby")}`).innerText();
  assert.match(await described("blocks.1.items.1.count"), /from 0 to 65535, not "70000"/);
  assert.match(await described("sortrank"), /sort rank/);
  assert.match(await described("champion-alias"), /no champion "Nobody"/);
  assert.equal(await storedSet("Top lane"), undefined);
  await fillEditor(page, { "blocks.1.items.1.count": "1", sortrank: "4", "champion-alias": "" });
  await page.click("text=Add slot");
  await fillEditor(page, { "slots.0.id": "3006", "slots.0.slot": "-5" });
  await saveSet(page, "Top lane");
  await session.screenshot(page, "editor");

  const saved = await storedSet("Top lane");
  assert.deepEqual(saved.blocks.map((block) => [block.type, block.items.map((i) => `${i.id}x${i.count}`)]),
    [["Core", ["3031x1"]], ["Start", ["1001x2", "3006x1", "2003x3"]]]);
  assert.deepEqual([saved.associatedChampions, saved.associatedMaps, saved.sortrank, saved.preferredItemSlots],
    [[3], [11, 12], 4, [{ id: "3006", preferredItemSlot: -5 }]]);
  const cache = path.join(session.state, "install/Game/Config/ItemSets.json");
  assert.ok(existsSync(cache) && readFileSync(cache, "utf8").includes("Top lane"));

  await fillEditor(page, { title: "Top lane renamed" });
  await saveSet(page, "Top lane renamed");
  await page.click("#undo");
  await statusIs(page, "The last save is undone");
  assert.equal((await storedSet("Top lane")).uid, saved.uid);
  assert.equal(await storedSet("Top lane renamed"), undefined);

  // A refusal in the host's words stands beside the save button and beside the field it names.
  const refusal = "Value 3 for 'count' of type uint16 is out of range";
  await page.route("**/sets", (route) => (route.request().method() === "PUT"
    ? route.fulfill({ status: 400, json: { httpStatus: 400, message: refusal } }) : route.continue()));
  await page.click("text=Save set");
  assert.equal(await page.locator("#save-error").innerText(), `Not saved: ${refusal}`);
  assert.equal(await described("blocks.1.items.2.count"), refusal);
  await page.unroute("**/sets");
  await page.click("text=Close");
  await page.getByLabel("Edit “Mid lane”").click();
  assert.equal(await page.locator("#save-error").count(), 0, "another set's refusal is shown");
  await page.click("text=Close");
  await page.getByLabel("Duplicate “Top lane”").click();
  await page.getByLabel("Delete “Top lane (copy)”").click();
  await statusIs(page, "Deleted “Top lane (copy)”");
  assert.deepEqual(await titles(page), ["Mid lane", "Top lane"]);
});

test("exports download the resource's shape; imports merge by uid; a refused import shows the " +
  "host's message beside it", async () => {
  const { page } = await session.openPage();
  await page.locator("#sets tbody tr").nth(1).waitFor();
  const downloaded = async (click) => {
    const [download] = await Promise.all([page.waitForEvent("download"), click()]);
    return { name: download.suggestedFilename(), value: JSON.parse(readFileSync(await download.path(), "utf8")) };
  };
  const all = await downloaded(() => page.click("#export-all"));
  assert.equal(all.name, `item-sets-${summonerId}.json`);
  assert.deepEqual(all.value.itemSets.map((set) => set.title), ["Mid lane", "Top lane"]);
  assert.equal(all.value.accountId, 1001);
  const one = await downloaded(() => page.getByLabel("Export “Top lane”").click());
  assert.equal(one.name, "item-set-top-lane.json");
  assert.equal(one.value.blocks[1].items[2].id, "2003");

  const importFile = async (name, value) => {
    await page.setInputFiles("#import",
      { name, mimeType: "application/json", buffer: Buffer.from(JSON.stringify(value)) });
    await page.waitForFunction((file) => new RegExp(`^Imported .* ${file}|^Not imported`)
      .test(document.querySelector("#status").textContent), name);
  };
  const renamed = all.value.itemSets.map((set) => ({ ...set, title: `${set.title}!` }));
  await importFile("all.json", { ...all.value, itemSets: renamed });
  await importFile("one.json", { ...one.value, uid: "", title: "Imported" });
  await page.waitForFunction(() => document.querySelectorAll("#sets tbody tr").length === 3);
  assert.deepEqual(await titles(page), ["Mid lane!", "Top lane!", "Imported"]);

  await importFile("broken.json", { title: "Broken", blocks: {} });
  assert.match(await page.locator("#list-error").innerText(),
    /Not imported: Couldn't assign value to 'blocks' of type vector/);
  assert.equal(await storedSet("Broken"), undefined);
  await session.screenshot(page, "import-refused");
});

test("in a 420-pixel window every control is labelled and on screen; another player signing in " +
  "closes the editor and drops the undo; a summoner id above 2^53 reaches the paths unrounded", async () => {
  const { page, requested } = await session.openPage(undefined, { width: 420, height: 800 });
  const unreachable = () => page.evaluate(() => [...document.querySelectorAll("main input, main button")]
    .filter((control) => control.getClientRects().length > 0)
    .filter((control) => {
      const box = control.getBoundingClientRect();
      const name = control.getAttribute("aria-label") ?? control.labels?.[0]?.textContent ?? control.textContent;
      return !name.trim() || control.tabIndex < 0 || box.left < 0 || box.right > window.innerWidth;
    }).map((control) => control.outerHTML));
  await page.locator("#sets tbody tr").first().waitFor();
  assert.deepEqual(await unreachable(), []);
  await session.screenshot(page, "narrow-list");
  await page.getByLabel("Edit “Top lane!”").click();
  assert.deepEqual(await unreachable(), []);
  assert.ok(await page.evaluate(() => document.documentElement.scrollWidth <= window.innerWidth));
  await session.screenshot(page, "narrow-editor");
  await saveSet(page, "Top lane!");

  const bigId = "9007199254740993";
  await session.call("PUT", "/dul-login/v1/session",
    `{"state": "SUCCEEDED", "summonerId": ${bigId}, "accountId": 1002}`);
  await page.locator("#set-editor").waitFor({ state: "hidden" });
  assert.equal(await page.locator("#who").innerText(), `Summoner ${bigId}`);
  assert.ok(await page.locator("#undo").isDisabled());
  await page.waitForFunction(() => !document.querySelector("#empty").hidden);
  assert.ok(requested.some((url) => url.pathname === `/dul-item-sets/v1/item-sets/${bigId}/sets`));
});

test("without the token the page says how to get one and asks for no data", async () => {
  const { page, requested } = await session.openPage(`${session.host.origin}/`);
  await page.locator("#no-token").waitFor();
  assert.match(await page.locator("#no-token").innerText(), /#token=[\s\S]*host\.json/);
  assert.ok(await page.locator("#sets-view").isHidden());
  const data = requested.filter((url) => url.pathname !== "/" && !url.pathname.startsWith("/page/"));
  assert.deepEqual(data.map((url) => url.pathname), []);
  await session.screenshot(page, "no-token");
});

test("the page's files are served without the token, typed, revalidated by tag", async () => {
  const files = [["/", "text/html"], ["/page/editor.js", "text/javascript"],
    ["/page/editor.css", "text/css"]];
  for (const [file, type] of files) {
    const first = await fetch(session.host.origin + file);
    assert.equal(first.status, 200, file);
    assert.match(first.headers.get("content-type"), new RegExp(`^${type}; charset=utf-8$`));
    assert.equal(first.headers.get("cache-control"), "no-cache");
    assert.match(first.headers.get("content-security-policy"), /default-src 'self'/);
    const tag = first.headers.get("etag");
    const again = await fetch(session.host.origin + file, { headers: { "If-None-Match": tag } });
    assert.equal(again.status, 304, file);
  }
  assert.equal((await fetch(`${session.host.origin}/page/missing.js`)).status, 404);
});
