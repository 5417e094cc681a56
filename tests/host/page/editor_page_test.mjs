// The editor page in headless Chromium against a real dul-host: the list, live updates and the
// page without a token. Usage: node --test editor_page_test.mjs, with DUL_BUILD set to the build
// folder (dul-host, and playwright-core under npm-page/, installed there when missing).
import assert from "node:assert/strict";
import { after, before, test } from "node:test";

import { PageSession } from "./page_support.mjs";

const sets = (...titles) => ({
  timestamp: 0, accountId: 0,
  itemSets: titles.map(([title, sortrank, blocks]) => ({
    uid: "", title, sortrank, mode: "CLASSIC", map: "SR", type: "custom",
    associatedMaps: [11], associatedChampions: [3, 7],
    blocks: blocks.map((count) => ({
      type: "Block", items: Array.from({ length: count }, (_, i) => ({ id: String(1001 + i), count: 1 })),
    })),
  })),
});

const session = new PageSession();
let summonerId;

const putSets = (document) => session.call("PUT", `/dul-item-sets/v1/item-sets/${summonerId}/sets`, document);

const titles = (page) => page.locator("#sets tbody tr td:nth-child(2)").allTextContents();

before(async () => {
  await session.start();
  summonerId = (await session.call("GET", "/dul-login/v1/session")).summonerId;
});

after(() => session.stop());

test("the page shows the empty state, then the sets PUT, in sortrank order, filtered by title",
  async () => {
    const { page, requested } = await session.openPage();
    await page.locator("#empty").waitFor();
    assert.equal(new URL(page.url()).hash, "", "the token stays in the address bar");
    const kept = await page.evaluate(() => sessionStorage.getItem("dul-host-token"));
    assert.equal(kept, session.host.token);

    await putSets(sets(["Support", 2, [2]], ["Jungle start", 1, [2, 3]], ["Jungle late", 3, []]));
    await page.reload();  // the token is kept for the tab
    await page.locator("#sets tbody tr").nth(2).waitFor();
    assert.deepEqual(await titles(page), ["Jungle start", "Support", "Jungle late"]);
    const first = await page.locator("#sets tbody tr").first().locator("td").allTextContents();
    assert.deepEqual(first, ["1", "Jungle start", "custom", "CLASSIC", "SR", "3, 7", "2", "5"]);
    await session.screenshot(page, "list");

    await page.fill("#filter", "JUNGLE");
    assert.deepEqual(await titles(page), ["Jungle start", "Jungle late"]);
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

test("without the token the page says how to get one and asks for no data", async () => {
  const { page, requested } = await session.openPage(`${session.host.origin}/`);
  await page.locator("#no-token").waitFor();
  assert.match(await page.locator("#no-token").innerText(), /#token=[\s\S]*host\.json/);
  assert.ok(await page.locator("#sets-view").isHidden());
  const data = requested.filter((url) => url.pathname !== "/" && !url.pathname.startsWith("/page/"));
  assert.deepEqual(data.map((url) => url.pathname), []);
  await session.screenshot(page, "no-token");
});
